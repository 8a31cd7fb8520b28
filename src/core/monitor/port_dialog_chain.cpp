#include "core/monitor/port_dialog_chain.h"

#include <string>
#include <utility>

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
    if (std::exchange(retryingRunMode_, false)) {
        retriedRunMode(result);
        return;
    }
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
    lastMessage_ = text;
    showForm();
    if (!linkLost_) {
        prompter_.showMessage(std::string(kMonitorCaption), std::string(text), MessageIcon::Information);
        return;
    }
    ++openNotices_;
    prompter_.showNotice(std::string(kMonitorCaption), std::string(text), MessageIcon::Information,
                         liveness_.guard([this] {
                             if (--openNotices_ > 0) return;
                             if (auto then = std::exchange(noticesClosed_, nullptr)) then();
                         }));
}

void PortDialogChain::whenNoticesClosed(std::function<void()> then) {
    if (openNotices_ == 0) return then();
    noticesClosed_ = std::move(then);
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
    runModeOwed_ = false;
    linkLost_ = false;
    retryingRunMode_ = false;
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
    runModeOwed_ = true;
    send(IoRequests::ChangeSettingMode());
    showForm();
}

bool PortDialogChain::inSettingMode(int result) {
    if (result == kIoResultSettingMode) return true;
    // Nothing was written, so trying again is safe.
    settingEnabled_ = true;
    abort(kChangeSettingModeFailText);
    // A device that said no is not in setting mode; one that gave no valid answer may be.
    runModeOwed_ = result == kIoResultFailed;
    if (runModeOwed_) {
        conclude_ = [] {};
        offerRunMode();
    }
    return false;
}

void PortDialogChain::endWrite(int result, bool runModeFailWarns, std::string_view completeText,
                               std::string_view warningText) {
    conclude_ = [this, completeText, warningText] {
        settingEnabled_ = true;
        lastEnd_ = warning_ ? ChainEnd::Warning : ChainEnd::Complete;
        tell(warning_ ? warningText : completeText);
    };
    if (result == kIoResultSuccess) {
        runModeOwed_ = false;
        conclude_();
        return;
    }
    tell(kChangeRunModeFailText);
    if (runModeFailWarns) warning_ = true;
    offerRunMode();
}

void PortDialogChain::offerRunMode() {
    if (closed_) return;
    awaiting_ = kAnswer;
    prompter_.askYesNo(std::string(kMonitorCaption), std::string(kMayStillBeInSettingModeQuestion),
                       liveness_.guard([this](bool yes) {
                           if (awaiting_ != kAnswer) return;  // closed, or the link went
                           awaiting_ = kNothing;
                           if (!yes) {
                               conclude_();
                               return;
                           }
                           retryingRunMode_ = true;
                           send(IoRequests::ChangeRunMode());
                       }));
}

void PortDialogChain::retriedRunMode(int result) {
    if (result != kIoResultSuccess) {
        tell(kChangeRunModeFailText);
        offerRunMode();
        return;
    }
    runModeOwed_ = false;
    conclude_();
}

void PortDialogChain::abort(std::string_view text) {
    lastEnd_ = ChainEnd::Aborted;
    tell(text);
}

}  // namespace tarn
