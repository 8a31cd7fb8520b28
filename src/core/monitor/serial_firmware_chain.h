// The serial number and firmware dialog: one ReadSerialFirmware when it opens, and what its result
// shows.
#pragma once

#include <functional>
#include <string>

#include "core/common/prompter.h"
#include "core/iolink/io_requester.h"

namespace tarn {

class SerialFirmwareChain {
public:
    SerialFirmwareChain(IoRequester& io, Prompter& prompter) : io_(io), prompter_(prompter) {}

    // The dialog opens: the fields are emptied and the read is sent.
    void open();
    void close() { waiting_ = false; }
    // Results of other commands are ignored.
    void onIoResult(int index, int result);

    const std::string& serialNumber() const { return serialNumber_; }
    const std::string& firmwareVersion() const { return firmwareVersion_; }
    bool waiting() const { return waiting_; }

    std::function<void()> formChanged;

private:
    IoRequester& io_;
    Prompter& prompter_;
    std::string serialNumber_;
    std::string firmwareVersion_;
    bool waiting_ = false;
};

}  // namespace tarn
