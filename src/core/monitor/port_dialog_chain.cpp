#include "core/monitor/port_dialog_chain.h"

#include <string>

namespace tarn {

bool chainStepSucceeded(int index, int result) {
    if (index == IoCommand::ChangeSettingMode) return result == kIoResultSettingMode;
    if (index == IoCommand::ReadMacroData || index == IoCommand::ReadDelayPulseData)
        return result == kIoResultSuccess || result == '2';
    return result == kIoResultSuccess;
}

void PortDialogChain::onIoResult(int index, int result) {
    if (awaiting_ < 0 || index != awaiting_) return;
    awaiting_ = kNothing;
    step(index, result);
}

void PortDialogChain::send(const IoRequest& request) {
    if (closed_) return;
    if (request.refused()) tell(ioRefusalText(request.refusal));
    if (closed_) return;
    awaiting_ = request.index;
    io_.QueueRequest(request);
}

void PortDialogChain::tell(std::string_view text) {
    showForm();
    prompter_.showMessage(std::string(kMonitorCaption), std::string(text), MessageIcon::Information);
}

void PortDialogChain::showForm() {
    if (formChanged) formChanged();
}

void PortDialogChain::beginOpen(int port) {
    port_ = port;
    awaiting_ = kNothing;
    closed_ = false;
    settingEnabled_ = false;
    warning_ = false;
    lastEnd_ = ChainEnd::None;
    // A read that fails keeps what the engine knows, never defaults, so a later write of a whole
    // block carries the device's settings for the other ports.
    refreshCopy();
}

void PortDialogChain::confirmWrite(std::string_view question, std::function<void()> write) {
    if (running() || !settingEnabled_ || closed_) return;
    awaiting_ = kAnswer;
    prompter_.askYesNo(std::string(kMonitorCaption), std::string(question),
                       liveness_.guard([this, write = std::move(write)](bool yes) {
                           if (awaiting_ != kAnswer) return;  // closed, or the link went
                           awaiting_ = kNothing;
                           if (yes) {
                               write();
                           } else {
                               lastEnd_ = ChainEnd::Aborted;
                           }
                       }));
}

void PortDialogChain::startWrite() {
    warning_ = false;
    settingEnabled_ = false;
    send(IoRequests::ChangeSettingMode());
    showForm();
}

bool PortDialogChain::inSettingMode(int result) {
    if (result == kIoResultSettingMode) return true;
    // Nothing was written, so trying again is safe.
    settingEnabled_ = true;
    abort(kChangeSettingModeFailText);
    return false;
}

void PortDialogChain::endWrite(int result, bool runModeFailWarns, std::string_view completeText,
                               std::string_view warningText) {
    if (result != kIoResultSuccess) {
        tell(kChangeRunModeFailText);
        if (runModeFailWarns) warning_ = true;
    }
    settingEnabled_ = true;
    lastEnd_ = warning_ ? ChainEnd::Warning : ChainEnd::Complete;
    tell(warning_ ? warningText : completeText);
}

void PortDialogChain::abort(std::string_view text) {
    lastEnd_ = ChainEnd::Aborted;
    tell(text);
}

}  // namespace tarn
