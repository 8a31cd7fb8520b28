#include "link/iolink/io_traffic_recorder.h"

#include "link/common/traffic_sink.h"

namespace tarn {

void IoTrafficRecorder::setPeer(const QString& peer) {
    peer_ = peer.toStdString();
    framer_.reset();
    decoder_.reset();
}

void IoTrafficRecorder::sent(std::string_view frame) {
    if (!trafficSink()) return;
    record(true, frame, decoder_.sent(frame));
}

void IoTrafficRecorder::received(const QByteArray& bytes) {
    if (!trafficSink()) return;
    framer_.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                 [this](std::string_view frame) { record(false, frame, decoder_.received(frame)); });
}

void IoTrafficRecorder::record(bool sent, std::string_view frame, std::string summary) {
    TrafficEntry e;
    e.timeMs = trafficNowMs();
    e.direction = sent ? TrafficDirection::Sent : TrafficDirection::Received;
    e.peer = peer_;
    e.length = frame.size();
    e.summary = std::move(summary);
    e.bytes.assign(frame.begin(), frame.end());
    // The sink may have been removed by a recording above it; it is looked up for every entry.
    if (TrafficSink* sink = trafficSink()) sink->record(std::move(e));
}

}  // namespace tarn
