#include "core/monitor/input_port_chain.h"

namespace tarn {

namespace {

constexpr std::string_view kQuestion = "Do you want to set Input port ?";
constexpr std::string_view kEnableFail = "Warning! Enable Status Fail!";
constexpr std::string_view kComplete = "Complete Setting Input port";
constexpr std::string_view kWarning = "Warning! Setting Input port";

}  // namespace

void InputPortChain::open(int port) {
    beginOpen(port);
    form_ = InputPortForm{};
    send(IoRequests::ReadEnableStatus());
    showForm();
}

void InputPortChain::onSetting() {
    confirmWrite(kQuestion, [this] { write(); });
}

// The operator said Yes: the typed values are checked, then the chain starts.
void InputPortChain::write() {
    enable_ = form_.enableChoice == 0;
    startWrite();
}

void InputPortChain::step(int index, int result) {
    const bool ok = result == kIoResultSuccess;
    const int i = port_ - 1;
    switch (index) {
        case IoCommand::ReadEnableStatus:
            if (ok) {
                refreshCopy();
                form_.enableChoice = copy_.inputEnable[i] ? 0 : 1;
            } else {
                tell(kReadEnableStatusFailText);
            }
            offerSetting();
            break;
        case IoCommand::ChangeSettingMode:
            if (!inSettingMode(result)) break;
            copy_.inputEnable[i] = enable_ ? 1 : 0;
            send(IoRequests::WriteEnableStatus(copy_));
            break;
        case IoCommand::WriteEnableStatus:
            if (ok) {
                refreshCopy();
                form_.enableChoice = copy_.inputEnable[i] ? 0 : 1;
            } else {
                tell(kEnableFail);
                warning_ = true;
            }
            send(IoRequests::ChangeRunMode());
            break;
        case IoCommand::ChangeRunMode:
            // A failed return to run mode is reported but, unlike a failed write, changes nothing on
            // the device's settings: the closing message stays the complete one.
            endWrite(result, false, kComplete, kWarning);
            break;
        default:
            break;
    }
    showForm();
}

}  // namespace tarn
