#include "core/monitor/monitor_panel.h"

#include <string>

#include "core/monitor/port_dialog_chain.h"
#include "core/monitor/serial_firmware_chain.h"

namespace tarn {

int& programConfigReadFailures() {
    static int failures = 0;
    return failures;
}

MonitorPanel::MonitorPanel(MonitorPanelHost& host, IoRequester& io, Prompter& prompter, int& configReadFailures)
    : host_(host), io_(io), prompter_(prompter), configReadFailures_(configReadFailures) {}

void MonitorPanel::start(int monitorInterval) {
    monitorInterval_ = monitorInterval;
    if (!host_.connectLink()) {
        failConnect();
        return;
    }
    readConfigNext_ = true;
    Poll();
    startTimer();
}

void MonitorPanel::startTimer() { host_.startPollTimer(monitorInterval_ * 1000); }

bool MonitorPanel::linkDown() const {
    return phase_ == Phase::LostWhileAskingSettingMode || phase_ == Phase::LinkLost || phase_ == Phase::AskingReconnect;
}

void MonitorPanel::setTitle(std::string_view title) {
    lightsOn_ = title == kTitleNormal;
    host_.setTitle(title);
}

void MonitorPanel::Poll() {
    if (phase_ == Phase::Closing || linkDown()) return;
    if (readConfigNext_) {
        readConfigNext_ = false;
        io_.QueueRequest(IoRequests::ReadEnableStatus());
        return;
    }
    if (missedPolls_ >= kMissedPollsBeforeFail) setTitle(kTitleFail);
    if (missedPolls_ < kMaxMissedPolls) ++missedPolls_;
    if (!io_.isPending(IoCommand::ReadStatus)) io_.QueueRequest(IoRequests::ReadStatus());
}

void MonitorPanel::onIoResult(int index, int result) {
    if (phase_ == Phase::Closing) return;
    switch (index) {
        case IoCommand::ReadStatus:
            onStatusResult(result);
            break;
        case IoCommand::ChangeSettingMode:
            if (dialog_) toDialog(index, result);
            break;
        case IoCommand::ChangeRunMode:
            if (dialog_) {
                toDialog(index, result);
            } else {
                readConfigNext_ = false;
                Poll();
            }
            break;
        case IoCommand::WriteMacroData:
        case IoCommand::WriteDelayPulseData:
        case IoCommand::WritePowerStoppage:
        case IoCommand::ReadMacroData:
        case IoCommand::ReadDelayPulseData:
        case IoCommand::ReadPowerStoppage:
            passToDialog(index, result, PortKind::Output);
            break;
        case IoCommand::WriteAdcLevel:
        case IoCommand::ReadAdcLevel:
            passToDialog(index, result, PortKind::Adc);
            break;
        case IoCommand::WriteEnableStatus:
        case IoCommand::ReadEnableStatus:
            if (dialog_) toDialog(index, result);
            onConfigResult(result);
            break;
        case IoCommand::ReadSerialFirmware:
            if (serialFirmware_) {
                SerialFirmwareChain* chain = serialFirmware_;
                const bool waited = chain->waiting();
                chain->onIoResult(index, result);
                if (linkDown() && waited && serialFirmware_ == chain) host_.closeSerialFirmware();
            }
            break;
        default:
            break;
    }
}

void MonitorPanel::passToDialog(int index, int result, PortKind kind) {
    if (dialog_ && dialog_->kind() == kind) toDialog(index, result);
}

void MonitorPanel::toDialog(int index, int result) {
    PortDialogChain* chain = dialog_;
    const bool wasRunning = chain->running();
    chain->onIoResult(index, result);
    // After a lost link the dialog closes once it has shown the failure it waited for.
    if (linkDown() && wasRunning && dialog_ == chain && !chain->running()) host_.closePortDialog();
}

void MonitorPanel::record(const IoSample& sample) {
    history_.record(sample);
    host_.sampleRecorded();
}

void MonitorPanel::onStatusResult(int result) {
    if (result == kIoResultSuccess) {
        record(IoSample::fromStatus(host_.nowMs(), io_.status()));
    } else if (!linkDown()) {  // a loss is recorded once, when it is told
        record(IoSample::withoutStatus(host_.nowMs(),
                                       result == kIoResultSettingMode ? LinkSample::SettingMode : LinkSample::NoReply));
    }
    if (result == kIoResultSuccess) {
        ports_.applyStatus(io_.status());
        // The timer stays stopped while a dialog or a question is open: nothing polls then.
        if (idle()) startTimer();
        setTitle(kTitleNormal);
        missedPolls_ = 0;
        host_.goodStatusReceived();
    } else if (result == kIoResultSettingMode && idle()) {
        askSettingMode();
    }
    host_.repaint();
}

void MonitorPanel::askSettingMode() {
    host_.stopPollTimer();
    phase_ = Phase::AskingSettingMode;
    prompter_.askYesNo(std::string(kMonitorCaption), std::string(kSettingModeQuestion),
                       liveness_.guard([this](bool runMode) { settingModeAnswered(runMode); }));
}

void MonitorPanel::settingModeAnswered(bool runMode) {
    if (phase_ != Phase::AskingSettingMode && phase_ != Phase::LostWhileAskingSettingMode) return;
    if (!runMode) {
        close();
        return;
    }
    if (phase_ == Phase::LostWhileAskingSettingMode) {
        // The link went while the question was open: that question comes now.
        phase_ = Phase::LinkLost;
        askReconnectWhenFree();
        return;
    }
    phase_ = Phase::Running;
    io_.QueueRequest(IoRequests::ChangeRunMode());
    startTimer();
}

void MonitorPanel::onConfigResult(int result) {
    if (result == kIoResultSuccess) {
        ports_.applyEnables(io_.config());
        if (!dialog_) {
            readConfigNext_ = false;
            Poll();
        }
        configReadFailures_ = 0;
    } else if (linkDown()) {
        // A read that failed because the link went says nothing about the device.
    } else if (configReadFailures_ >= kMaxConfigReadRetries) {
        ports_.showAllOff();
    } else {
        readConfigNext_ = true;
        Poll();
        ++configReadFailures_;
    }
    host_.repaint();
}

void MonitorPanel::onOpenFailed() {
    if (phase_ == Phase::Closing) return;
    failConnect();
}

void MonitorPanel::failConnect() {
    host_.stopPollTimer();
    phase_ = Phase::Closing;
    lightsOn_ = false;
    prompter_.showMessage(std::string(kMonitorCaption), std::string(kCantConnectText), MessageIcon::Information);
    host_.closeMonitor();
}

void MonitorPanel::close() {
    host_.stopPollTimer();
    phase_ = Phase::Closing;
    lightsOn_ = false;
    host_.closeMonitor();
}

void MonitorPanel::onLinkLost() {
    if (phase_ == Phase::Running) {
        phase_ = Phase::LinkLost;
    } else if (phase_ == Phase::AskingSettingMode) {
        phase_ = Phase::LostWhileAskingSettingMode;
    } else {
        return;  // closing, or the same loss is already being dealt with
    }
    host_.stopPollTimer();
    record(IoSample::withoutStatus(host_.nowMs(), LinkSample::Lost));
    // The title says what the link does while the question is open; what was shown is history.
    setTitle(kTitleFail);
    ports_.forget();
    host_.repaint();
    // Each open dialog shows the failure of the request it waits for, then closes; one that waits
    // for nothing closes at once.
    if (dialog_) {
        dialog_->onLinkLost();
        if (!dialog_->running()) host_.closePortDialog();
    }
    if (serialFirmware_ && !serialFirmware_->waiting()) host_.closeSerialFirmware();
    if (phase_ == Phase::LinkLost) host_.postReconnectQuestion();
}

void MonitorPanel::onReconnectQuestionDue() {
    if (phase_ == Phase::LinkLost) askReconnectWhenFree();
}

void MonitorPanel::askReconnectWhenFree() {
    // Asked once the open dialogs have shown their failure and closed (endPortDialog,
    // endSerialFirmware), never on top of them.
    if (dialog_ || serialFirmware_ || noticesOf_) return;
    askReconnect();
}

void MonitorPanel::askReconnect() {
    phase_ = Phase::AskingReconnect;
    host_.stopPollTimer();
    prompter_.askYesNo(std::string(kMonitorCaption), std::string(kReconnectQuestion),
                       liveness_.guard([this](bool reconnect) {
                           if (phase_ == Phase::AskingReconnect) reconnectOrClose(reconnect);
                       }));
}

void MonitorPanel::reconnectOrClose(bool reconnect) {
    if (!reconnect) {
        close();
        return;
    }
    host_.disconnectLink();
    if (!host_.connectLink()) {
        failConnect();
        return;
    }
    phase_ = Phase::Running;
    readConfigNext_ = true;
    Poll();
    startTimer();
}

bool MonitorPanel::leftClick(int x, int y) {
    const PortIndicator* output = ports_.outputAt(x, y);
    if (!output) return false;
    if (phase_ == Phase::Closing || output->state == DisplayState::Disabled) return true;
    io_.QueueRequest(IoRequests::SwitchOutput(output->number, output->state == DisplayState::Off ? 0 : 1));
    return true;
}

void MonitorPanel::beginPortDialog(PortDialogChain& chain) {
    host_.stopPollTimer();
    dialog_ = &chain;
}

void MonitorPanel::endPortDialog() {
    PortDialogChain* chain = std::exchange(dialog_, nullptr);
    if (phase_ == Phase::Closing) return;
    if (phase_ == Phase::LinkLost) {
        // The dialog's failure message comes first: the question waits until it is closed.
        noticesOf_ = chain;
        if (!chain) return askReconnectWhenFree();
        chain->whenNoticesClosed(liveness_.guard([this] {
            noticesOf_ = nullptr;
            if (phase_ == Phase::LinkLost) askReconnectWhenFree();
        }));
        return;
    }
    if (phase_ == Phase::Running) startTimer();
    readConfigNext_ = false;
    Poll();
}

void MonitorPanel::endSerialFirmware() {
    serialFirmware_ = nullptr;
    if (phase_ == Phase::LinkLost) askReconnectWhenFree();
}

}  // namespace tarn
