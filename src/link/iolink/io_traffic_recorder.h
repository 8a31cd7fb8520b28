// The traffic log of one I/O link: every request frame written and every frame received, with the
// peer ("host:port" or the serial device) and what the frame means (core/iolink/io_traffic.h).
// Received bytes arrive in arbitrary pieces, so the recorder cuts its own frames from them; bytes
// outside a frame are not recorded.
#pragma once

#include <string>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "core/iolink/io_framer.h"
#include "core/iolink/io_traffic.h"

namespace tarn {

class IoTrafficRecorder {
public:
    // A new link to this peer: partial frames and the last request are forgotten.
    void setPeer(const QString& peer);
    void sent(std::string_view frame);
    void received(const QByteArray& bytes);

private:
    void record(bool sent, std::string_view frame, std::string summary);

    std::string peer_;
    IoFramer framer_;
    IoTrafficDecoder decoder_;
};

}  // namespace tarn
