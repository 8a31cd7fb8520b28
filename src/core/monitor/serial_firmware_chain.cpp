#include "core/monitor/serial_firmware_chain.h"

#include "core/monitor/port_dialog_chain.h"

namespace tarn {

namespace {

constexpr std::string_view kNoSerialNumber = "It did not set serial number!";
constexpr std::string_view kReadFail = "Fail : Read serial number/firmware version!";

}  // namespace

void SerialFirmwareChain::open() {
    serialNumber_.clear();
    firmwareVersion_.clear();
    waiting_ = true;
    io_.QueueRequest(IoRequests::ReadSerialFirmware());
    if (formChanged) formChanged();
}

void SerialFirmwareChain::onIoResult(int index, int result) {
    if (index != IoCommand::ReadSerialFirmware || !waiting_) return;
    waiting_ = false;
    if (result == kIoResultSuccess) {
        const IoConfig& config = io_.config();
        serialNumber_ = config.serialNumber;
        firmwareVersion_ = config.firmwareVersion;
        if (formChanged) formChanged();
        return;
    }
    const std::string_view text = result == kIoResultSettingMode ? kNoSerialNumber : kReadFail;
    prompter_.showMessage(std::string(kMonitorCaption), std::string(text), MessageIcon::Information);
}

}  // namespace tarn
