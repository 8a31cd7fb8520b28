#include "core/monitor/monitor_panel.h"

#include <string>

#include "core/monitor/port_dialog_chain.h"
#include "core/monitor/serial_firmware_chain.h"

namespace tarn {

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

void MonitorPanel::Poll() {
    if (closing_) return;
    if (readConfigNext_) {
        readConfigNext_ = false;
        io_.queueRequest(IoRequests::ReadEnableStatus());
        return;
    }
    if (missedPolls_ >= kMissedPollsBeforeFail) host_.setTitle(kTitleFail);
    if (missedPolls_ < kMaxMissedPolls) ++missedPolls_;
    if (!io_.isPending(IoCommand::ReadStatus)) io_.queueRequest(IoRequests::ReadStatus());
}

void MonitorPanel::onIoResult(int index, int result) {
    if (closing_) return;
    switch (index) {
    case IoCommand::ReadStatus: onStatusResult(result); break;
    case IoCommand::ChangeSettingMode:
        if (dialog_) dialog_->onIoResult(index, result);
        break;
    case IoCommand::ChangeRunMode:
        if (dialog_) {
            dialog_->onIoResult(index, result);
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
    case IoCommand::ReadPowerStoppage: passToDialog(index, result, PortKind::Output); break;
    case IoCommand::WriteAdcLevel:
    case IoCommand::ReadAdcLevel: passToDialog(index, result, PortKind::Adc); break;
    case IoCommand::WriteEnableStatus:
    case IoCommand::ReadEnableStatus:
        if (dialog_) dialog_->onIoResult(index, result);
        onConfigResult(result);
        break;
    case IoCommand::ReadSerialFirmware:
        if (serialFirmware_) serialFirmware_->onIoResult(index, result);
        break;
    default: break;
    }
}

void MonitorPanel::passToDialog(int index, int result, PortKind kind) {
    if (dialog_ && dialog_->kind() == kind) dialog_->onIoResult(index, result);
}

void MonitorPanel::onStatusResult(int result) {
    if (result == kIoResultSuccess) {
        ports_.applyStatus(io_.status());
        // The timer stays stopped while a dialog or a question is open: nothing polls then.
        if (idle()) startTimer();
        host_.setTitle(kTitleNormal);
        missedPolls_ = 0;
    } else if (result == kIoResultSettingMode && idle()) {
        askSettingMode();
        if (closing_) return;
    }
    host_.repaint();
}

void MonitorPanel::askSettingMode() {
    host_.stopPollTimer();
    question_ = Question::SettingMode;
    const bool runMode = prompter_.askYesNo(std::string(kMonitorCaption), std::string(kSettingModeQuestion));
    question_ = Question::None;
    if (closing_) return;
    if (!runMode) {
        close();
        return;
    }
    io_.queueRequest(IoRequests::ChangeRunMode());
    startTimer();
    // The link went while the question was open: that question comes now.
    if (linkLostWhileAsking_) {
        linkLostWhileAsking_ = false;
        onLinkLost();
    }
}

void MonitorPanel::onConfigResult(int result) {
    if (result == kIoResultSuccess) {
        ports_.applyEnables(io_.config());
        if (!dialog_) {
            readConfigNext_ = false;
            Poll();
        }
        configReadFailures_ = 0;
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
    if (closing_) return;
    failConnect();
}

void MonitorPanel::failConnect() {
    host_.stopPollTimer();
    linkLostHandled_ = true;
    closing_ = true;
    prompter_.showMessage(std::string(kMonitorCaption), std::string(kCantConnectText), MessageIcon::Information);
    host_.closeMonitor();
}

void MonitorPanel::close() {
    host_.stopPollTimer();
    closing_ = true;
    host_.closeMonitor();
}

void MonitorPanel::onLinkLost() {
    if (linkLostHandled_ || closing_) return;
    if (question_ == Question::Reconnect) return;  // the same loss, already being asked about
    if (question_ == Question::SettingMode) {
        linkLostWhileAsking_ = true;
        return;
    }
    if (dialog_) host_.closePortDialog();
    host_.stopPollTimer();
    question_ = Question::Reconnect;
    const bool reconnect = prompter_.askYesNo(std::string(kMonitorCaption), std::string(kReconnectQuestion));
    question_ = Question::None;
    if (closing_) return;
    reconnectOrClose(reconnect);
}

void MonitorPanel::reconnectOrClose(bool reconnect) {
    if (!reconnect) {
        linkLostHandled_ = true;
        close();
        return;
    }
    host_.disconnectLink();
    if (!host_.connectLink()) {
        failConnect();
        return;
    }
    readConfigNext_ = true;
    Poll();
    if (!dialog_) startTimer();
    linkLostHandled_ = false;
}

bool MonitorPanel::leftClick(int x, int y) {
    const PortIndicator* output = ports_.outputAt(x, y);
    if (!output) return false;
    if (closing_ || output->state == DisplayState::Disabled) return true;
    io_.queueRequest(IoRequests::SwitchOutput(output->number, output->state == DisplayState::Off ? 0 : 1));
    return true;
}

void MonitorPanel::beginPortDialog(PortDialogChain& chain) {
    host_.stopPollTimer();
    dialog_ = &chain;
}

void MonitorPanel::endPortDialog() {
    dialog_ = nullptr;
    if (closing_) return;
    if (question_ == Question::None) startTimer();
    readConfigNext_ = false;
    Poll();
}

}  // namespace tarn
