#include "core/monitor/output_port_chain.h"

#include "core/monitor/macro_rules.h"

namespace tarn {

namespace {

constexpr std::string_view kQuestion = "Do you want to set out port?";
constexpr std::string_view kReadMacroFail = "Read Macro Data Fail!";
constexpr std::string_view kReadDelayPulseFail = "Read Delay/Pulse Data Fail!";
constexpr std::string_view kReadPowerFail = "Read Eanble power stoppage Fail!";
constexpr std::string_view kEnableFail = "Warning! Enable Status Fail.";
constexpr std::string_view kMacroFail = "Warning! Macro Data Fail!";
constexpr std::string_view kDelayPulseFail = "Warning! Delay/Pulse Data Fail!";
constexpr std::string_view kPowerFail = "Warning! Eanble power stoppage Fail!";
constexpr std::string_view kComplete = "Complete Setting Output port";
constexpr std::string_view kWarning = "Warning! Output port";

// A macro or delay/pulse reply with this result: the port has none.
constexpr int kResultNone = '2';

}  // namespace

void OutputPortChain::open(int port) {
    beginOpen(port);
    form_ = OutputPortForm{};
    send(IoRequests::ReadEnableStatus());
    showForm();
}

void OutputPortChain::showMacro() {
    form_.useMacro = copy_.macroEnabled != 0;
    if (form_.useMacro) form_.macro = copy_.macroText;
}

void OutputPortChain::onSetting() {
    confirmWrite(kQuestion, [this] { write(); });
}

// The operator said Yes: the typed values are checked, then the chain starts.
void OutputPortChain::write() {
    Plan plan;
    plan.enable = form_.enableChoice == 0;
    plan.useMacro = form_.useMacro;
    if (plan.useMacro) {
        const MacroInputCheck check = checkMacroInput(form_.macro);
        if (!check.ok()) {
            if (check.selectionLength > 0 && selectMacro) selectMacro(check.selectionStart, check.selectionLength);
            abort(check.message);
            return;
        }
        plan.macro = check.macro;
    }
    plan.usePulse = form_.delayPulse.used;
    if (plan.usePulse) {
        const PortInputCheck check = checkDelayPulseInput(form_.delayPulse);
        if (!check.ok()) {
            abort(check.message);
            return;
        }
        plan.pulseText = check.value;
    }
    plan.powerRecovery = form_.powerChoice == 0;
    plan_ = plan;
    startWrite();
}

void OutputPortChain::toRunMode() {
    warning_ = true;
    send(IoRequests::ChangeRunMode());
}

void OutputPortChain::step(int index, int result) {
    const bool ok = result == kIoResultSuccess;
    const int i = port_ - 1;
    switch (index) {
        // The read chain.
        case IoCommand::ReadEnableStatus:
            if (ok) {
                refreshCopy();
                form_.enableChoice = copy_.outputEnable[i] ? 0 : 1;
            } else {
                tell(kReadEnableStatusFailText);
            }
            send(IoRequests::ReadMacroData(port_));
            break;
        case IoCommand::ReadMacroData:
            if (ok) {
                refreshCopy();
                showMacro();
            } else if (result == kResultNone) {
                form_.useMacro = false;
            } else {
                tell(kReadMacroFail);
            }
            send(IoRequests::ReadDelayPulseData(port_));
            break;
        case IoCommand::ReadDelayPulseData:
            if (ok) {
                refreshCopy();
                showDelayPulse(copy_.pulseEnabled, copy_.pulseText, form_.delayPulse);
            } else if (result == kResultNone) {
                form_.delayPulse.used = false;
            } else {
                tell(kReadDelayPulseFail);
            }
            send(IoRequests::ReadPowerStoppage());
            break;
        case IoCommand::ReadPowerStoppage:
            if (ok) {
                refreshCopy();
                form_.powerChoice = copy_.powerStoppage[i] ? 0 : 1;
            } else {
                tell(kReadPowerFail);
            }
            offerSetting();
            break;

        // The write chain.
        case IoCommand::ChangeSettingMode:
            if (!inSettingMode(result)) break;
            copy_.outputEnable[i] = plan_.enable ? 1 : 0;
            send(IoRequests::WriteEnableStatus(copy_));
            break;
        case IoCommand::WriteEnableStatus:
            if (ok) {
                refreshCopy();
                form_.enableChoice = copy_.outputEnable[i] ? 0 : 1;
            } else {
                tell(kEnableFail);
                warning_ = true;
            }
            copy_.macroEnabled = plan_.useMacro ? 1 : 0;
            if (plan_.useMacro) copy_.macroText = plan_.macro;
            send(IoRequests::WriteMacroData(copy_, port_));
            break;
        case IoCommand::WriteMacroData:
            if (!ok) {
                tell(kMacroFail);
                toRunMode();
                break;
            }
            refreshCopy();
            showMacro();
            copy_.pulseEnabled = plan_.usePulse ? 1 : 0;
            if (plan_.usePulse) copy_.pulseText = plan_.pulseText;
            send(IoRequests::WriteDelayPulseData(copy_, port_));
            break;
        case IoCommand::WriteDelayPulseData:
            if (!ok) {
                tell(kDelayPulseFail);
                toRunMode();
                break;
            }
            refreshCopy();
            showDelayPulse(copy_.pulseEnabled, copy_.pulseText, form_.delayPulse);
            copy_.powerStoppage[i] = plan_.powerRecovery ? 1 : 0;
            send(IoRequests::WritePowerStoppage(copy_));
            break;
        case IoCommand::WritePowerStoppage:
            if (ok) {
                refreshCopy();
                form_.powerChoice = copy_.powerStoppage[i] ? 0 : 1;
            } else {
                tell(kPowerFail);
                warning_ = true;
            }
            send(IoRequests::ChangeRunMode());
            break;
        case IoCommand::ChangeRunMode:
            endWrite(result, true, kComplete, kWarning);
            break;
        default:
            break;
    }
    showForm();
}

}  // namespace tarn
