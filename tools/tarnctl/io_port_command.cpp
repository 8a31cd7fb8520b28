// tarnctl io output|input|adc N: the port dialogs' chains on the command line. The read chain
// fills the form with the device's settings, the options change what they name, and the write
// chain runs as "Setting" runs it, printing each step's result and each message.
//
//   output N [--enable|--disable] [--macro EXPR|--no-macro]
//            [--delay-on T|--delay-off T|--pulse ON OFF|--no-delay-pulse] [--power-recovery on|off]
//   input N  --enable|--disable
//   adc N    --level|--switch LEVEL [--reference avcc|inside|outside]
//
// A setting whose read failed prints as "unknown", never as a default.
//
// Exit codes: 0 every read and write of the chain succeeded; 1 any of them failed (the last message
// on standard error); 2 a bad or contradictory argument, or a link failure. The options are checked
// as the dialogs check what is typed, with the same texts, before the link is opened. When a chain
// may have left the device in setting mode (ChangeRunMode failed, or ChangeSettingMode got no valid
// answer) the command tries once more to return it to run mode and, failing, says that the device
// may still be in setting mode. When the link drops then, it connects once more for that try.
#include <csignal>
#include <functional>
#include <memory>
#include <utility>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "core/common/prompter.h"
#include "core/monitor/adc_port_chain.h"
#include "core/monitor/input_port_chain.h"
#include "core/monitor/macro_rules.h"
#include "core/monitor/output_port_chain.h"
#include "link/common/qt_bytes.h"
#include "link/common/stop_signals.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/io_session.h"
#include "tarnctl/json_output.h"

namespace tarnctl {

namespace {

using namespace tarn;

// Says every message on standard error (standard output carries the settings, or the JSON) and
// answers the questions itself: the command line is the operator's confirmation of the write, and
// of one try to return the device to run mode when a chain may have left it in setting mode.
class PrintingPrompter : public Prompter {
public:
    void showMessage(const std::string&, const std::string& text, MessageIcon) override {
        QTextStream(stderr) << "message: " << text.c_str() << '\n';
    }
    void askYesNo(const std::string&, const std::string& text, Answer<bool> answer) override {
        const bool yes = text != kMayStillBeInSettingModeQuestion || !std::exchange(offered_, true);
        QTextStream(stderr) << "question: " << text.c_str() << (yes ? " yes" : " no") << Qt::endl;
        answer(yes);
    }
    void confirm(const ConfirmText&, Answer<bool> answer) override { answer(true); }
    void askCredentials(const CredentialsQuestion&, Answer<std::optional<CredentialsAnswer>> answer) override {
        answer(std::nullopt);
    }

private:
    bool offered_ = false;
};

// The macro as the dialog's edit keeps it when it is typed: letters raised, blanks dropped.
std::string typedMacro(const std::string& text) { return filterMacroText(text, 0, 0).text; }

// What the options ask, checked as the dialogs check what is typed, before anything is sent.
std::optional<QString> checkOptions(PortKind kind, const PortOptions& p) {
    const bool output = kind == PortKind::Output;
    const bool adc = kind == PortKind::Adc;
    if ((p.macro || p.noMacro || p.delayPulseMode || p.powerRecovery) && !output)
        return QStringLiteral("--macro, --delay-on, --delay-off, --pulse and --power-recovery are for outputs");
    if ((p.toSwitch || p.reference) && !adc)
        return QStringLiteral("--level, --switch and --reference are for ADC ports");
    if (p.enable && adc) return QStringLiteral("ADC ports are not enabled or disabled; use --level or --switch");
    if (p.macro) {  // an empty macro is refused as the dialog refuses it; --no-macro removes one
        const MacroInputCheck check = checkMacroInput(typedMacro(*p.macro));
        if (!check.ok()) return latin1(check.message);
    }
    if (p.delayPulseMode && *p.delayPulseMode >= 0) {
        DelayPulseFields fields{true,     static_cast<DelayPulseMode>(*p.delayPulseMode), p.onTime, p.offTime, p.onTime,
                                p.offTime};
        const PortInputCheck check = checkDelayPulseInput(fields);
        if (!check.ok()) return latin1(check.message);
    }
    if (p.toSwitch && *p.toSwitch) {
        const PortInputCheck check = checkAdcLevelInput(p.level);
        if (!check.ok()) return latin1(check.message);
    }
    return std::nullopt;
}

void applyOptions(OutputPortForm& f, const PortOptions& p) {
    if (p.enable) f.enableChoice = *p.enable ? 0 : 1;
    if (p.noMacro) f.useMacro = false;
    if (p.macro) {
        f.useMacro = true;
        f.macro = typedMacro(*p.macro);
    }
    if (p.delayPulseMode) {
        DelayPulseFields& d = f.delayPulse;
        d.used = *p.delayPulseMode >= 0;
        if (d.used) d.mode = static_cast<DelayPulseMode>(*p.delayPulseMode);
        if (*p.delayPulseMode == 0) d.delayOnTime = p.onTime;
        if (*p.delayPulseMode == 1) d.delayOffTime = p.offTime;
        if (*p.delayPulseMode == 2) {
            d.pulseOnTime = p.onTime;
            d.pulseOffTime = p.offTime;
        }
    }
    if (p.powerRecovery) f.powerChoice = *p.powerRecovery ? 0 : 1;
}

// Which settings the read chain really read (a failed read leaves the form's default).
struct ReadSettings {
    bool enable = false;      // ReadEnableStatus: enables, ADC mode and reference
    bool macro = false;       // ReadMacroData
    bool delayPulse = false;  // ReadDelayPulseData
    bool power = false;       // ReadPowerStoppage
    bool level = false;       // ReadAdcLevel

    void note(int index, int result) {
        const bool ok = chainStepSucceeded(index, result);
        if (index == IoCommand::ReadEnableStatus) enable = ok;
        if (index == IoCommand::ReadMacroData) macro = ok;
        if (index == IoCommand::ReadDelayPulseData) delayPulse = ok;
        if (index == IoCommand::ReadPowerStoppage) power = ok;
        if (index == IoCommand::ReadAdcLevel) level = ok;
    }

    // A write chain sends the whole of what the read chain read: a setting that could not be read
    // would be written with the form's default (no macro, say). The first such setting, or nothing.
    std::optional<std::string> unread(PortKind kind) const {
        if (!enable) return "the enable status";
        if (kind == PortKind::Output && !macro) return "the macro";
        if (kind == PortKind::Output && !delayPulse) return "the delay/pulse setting";
        if (kind == PortKind::Output && !power) return "the power stoppage setting";
        if (kind == PortKind::Adc && !level) return "the ADC level";
        return std::nullopt;
    }
};

bool isWrite(int index) {
    return index == IoCommand::WriteMacroData || index == IoCommand::WriteDelayPulseData ||
           index == IoCommand::WriteAdcLevel || index == IoCommand::WriteEnableStatus ||
           index == IoCommand::WritePowerStoppage;
}

// The port's settings as the read chain left them in the form; "unknown" where the read failed.
std::string describe(PortDialogChain& chain, const ReadSettings& read) {
    std::string out = "port " + std::to_string(chain.port()) + "\n";
    auto yesNo = [](bool known, bool b) { return std::string(!known ? "unknown" : b ? "yes" : "no"); };
    const std::string unknown = "unknown";
    if (auto* output = dynamic_cast<OutputPortChain*>(&chain)) {
        const OutputPortForm& f = output->form();
        const DelayPulseFields& d = f.delayPulse;
        out += "enabled         " + yesNo(read.enable, f.enableChoice == 0) + "\n";
        out += "macro           " + (!read.macro ? unknown : f.useMacro ? f.macro : std::string("none")) + "\n";
        out += "delay/pulse     ";
        if (!read.delayPulse) out += unknown;
        if (read.delayPulse && !d.used) out += "none";
        if (read.delayPulse && d.used && d.mode == DelayPulseMode::DelayOn) out += "delay on " + d.delayOnTime;
        if (read.delayPulse && d.used && d.mode == DelayPulseMode::DelayOff) out += "delay off " + d.delayOffTime;
        if (read.delayPulse && d.used && d.mode == DelayPulseMode::Pulse)
            out += "pulse on " + d.pulseOnTime + " off " + d.pulseOffTime;
        if (read.delayPulse) out += " (x 100 ms)";
        out += "\npower recovery  " + yesNo(read.power, f.powerChoice == 0) + "\n";
    } else if (auto* input = dynamic_cast<InputPortChain*>(&chain)) {
        out += "enabled    " + yesNo(read.enable, input->form().enableChoice == 0) + "\n";
    } else if (auto* adc = dynamic_cast<AdcPortChain*>(&chain)) {
        const AdcPortForm& f = adc->form();
        out += "mode       " + (!read.enable ? unknown : std::string(f.modeChoice ? "switch" : "level")) + "\n";
        if (read.enable && f.modeChoice) out += "level      " + (read.level ? f.level : unknown) + "\n";
        out += "reference  " +
               std::string(!read.enable            ? "unknown"
                           : f.referenceIndex >= 0 ? kAdcReferenceItems[f.referenceIndex]
                                                   : "?") +
               "\n";
    }
    return out;
}

// The same as JSON: null where the read failed.
QJsonObject describeJson(PortDialogChain& chain, const ReadSettings& read) {
    QJsonObject out{{"port", chain.port()}};
    const auto known = [](bool k, const QJsonValue& v) { return k ? v : QJsonValue(); };
    if (auto* output = dynamic_cast<OutputPortChain*>(&chain)) {
        const OutputPortForm& f = output->form();
        const DelayPulseFields& d = f.delayPulse;
        out.insert("enabled", known(read.enable, f.enableChoice == 0));
        out.insert("macro", known(read.macro, f.useMacro ? QJsonValue(latin1(f.macro)) : QJsonValue(false)));
        QJsonObject timing;
        if (!d.used) timing = {{"mode", "none"}};
        if (d.used && d.mode == DelayPulseMode::DelayOn) timing = {{"mode", "delay on"}, {"on", latin1(d.delayOnTime)}};
        if (d.used && d.mode == DelayPulseMode::DelayOff)
            timing = {{"mode", "delay off"}, {"off", latin1(d.delayOffTime)}};
        if (d.used && d.mode == DelayPulseMode::Pulse)
            timing = {{"mode", "pulse"}, {"on", latin1(d.pulseOnTime)}, {"off", latin1(d.pulseOffTime)}};
        out.insert("delayPulse", known(read.delayPulse, timing));
        out.insert("powerRecovery", known(read.power, f.powerChoice == 0));
    } else if (auto* input = dynamic_cast<InputPortChain*>(&chain)) {
        out.insert("enabled", known(read.enable, input->form().enableChoice == 0));
    } else if (auto* adc = dynamic_cast<AdcPortChain*>(&chain)) {
        const AdcPortForm& f = adc->form();
        out.insert("mode", known(read.enable, f.modeChoice ? "switch" : "level"));
        out.insert("level", known(read.enable && f.modeChoice && read.level, latin1(f.level)));
        out.insert(
            "reference",
            known(read.enable && f.referenceIndex >= 0,
                  QString::fromLatin1(f.referenceIndex >= 0 ? kAdcReferenceItems[f.referenceIndex].data() : "")));
    }
    return out;
}

PortKind portKind(const QString& command) {
    return command == "output" ? PortKind::Output : command == "adc" ? PortKind::Adc : PortKind::Input;
}

// One port command on an open link: the read chain, then (when options ask for changes) the write
// chain, each step going on from the result of the one before.
class PortCommand {
public:
    PortCommand(const IoOptions& o, CCommProcess& engine, IoSession& session)
        : o_(o), engine_(engine), session_(session), port_(o.words[1].toInt()) {
        const PortKind kind = portKind(o.words[0]);
        if (kind == PortKind::Output) chain_ = std::make_unique<OutputPortChain>(engine, prompter_);
        if (kind == PortKind::Adc) chain_ = std::make_unique<AdcPortChain>(engine, prompter_);
        if (kind == PortKind::Input) chain_ = std::make_unique<InputPortChain>(engine, prompter_);
        QObject::connect(&engine, &CCommProcess::ioResult, &engine, [this](int index, int result) {
            // The protocol's steps are a trace for the operator: standard error.
            QTextStream err(stderr);
            err << ioCommandName(index).data() << ": ";
            if (result == kIoResultFailed) {
                err << "no answer";
            } else {
                err << "result " << QChar(static_cast<char>(result));
            }
            err << Qt::endl;
            if (stopping_) return;  // the return to run mode after a stop signal: the session has it
            read_.note(index, result);
            if (!chainStepSucceeded(index, result)) failed_ << QString::fromLatin1(ioCommandName(index).data());
            if (isWrite(index) && chainStepSucceeded(index, result))
                written_ << QString::fromLatin1(ioCommandName(index).data());
            if (stopSignal_ != 0) return stop();
            chain_->onIoResult(index, result);
        });
        // SIGINT, SIGTERM: the chain stops between two steps, never inside one.
        deliverStopSignals({SIGINT, SIGTERM}, &stopContext_, [this](int signal) {
            if (stopSignal_ != 0) return;
            stopSignal_ = signal;
            // A chain that runs waits for a result, and stops at it; otherwise stop now.
            if (!chain_->running()) stop();
        });
    }

    void start() {
        chain_->open(port_);
        whenChainEnds([this] { afterRead(); });
    }

private:
    void whenChainEnds(std::function<void()> then) {
        session_.whenReady([this] { return !chain_->running(); },
                           [this, then = std::move(then)](bool linkUp) {
                               if (stopSignal_ != 0) return;  // stop() ends the command
                               if (linkUp) return then();
                               linkFailure();
                           });
    }

    // After a stop signal: nothing more of the chain; a device left in setting mode goes back to
    // run mode; then what was written is said and the command ends with 128 + the signal.
    void stop() {
        const bool owed = chain_->runModeOwed();
        chain_->close();
        if (!owed) return stopped(false);
        stopping_ = true;
        session_.run([this] { return engine_.ChangeRunMode(); },
                     [this](std::optional<int> back) {
                         // Said after the step's own line, which the result's other handler prints.
                         QMetaObject::invokeMethod(
                             &stopContext_, [this, back] { stopped(back != kIoResultSuccess); }, Qt::QueuedConnection);
                     });
    }

    void stopped(bool stillInSettingMode) {
        QTextStream err(stderr);
        err << "tarnctl: stopped by " << (stopSignal_ == SIGINT ? "SIGINT" : "SIGTERM") << "; "
            << (written_.isEmpty() ? QStringLiteral("nothing was written")
                                   : QStringLiteral("written: ") + written_.join(", "));
        if (stopping_)
            err << (stillInSettingMode ? "; the device may still be in setting mode"
                                       : "; the device was returned to run mode");
        err << '\n';
        endLoop(128 + stopSignal_);
    }

    void afterRead() {
        const PortOptions& p = o_.portOptions;
        const bool changes =
            p.enable || p.macro || p.noMacro || p.delayPulseMode || p.powerRecovery || p.toSwitch || p.reference;
        if (!changes) {
            // Nothing to change: the settings as read.
            if (o_.json)
                QTextStream(stdout)
                    << QJsonDocument(jsonDocument(describeJson(*chain_, read_))).toJson(QJsonDocument::Compact) << '\n';
            else
                QTextStream(stdout) << describe(*chain_, read_).c_str();
            return finishWithFailures();
        }
        // Nothing is written over a setting that could not be read.
        if (const auto unread = read_.unread(chain_->kind())) {
            QTextStream(stderr) << "tarnctl: nothing was written: " << unread->c_str() << " could not be read\n";
            return endLoop(kExitDeviceFailure);
        }
        if (auto* output = dynamic_cast<OutputPortChain*>(chain_.get())) applyOptions(output->form(), p);
        if (auto* input = dynamic_cast<InputPortChain*>(chain_.get())) input->form().enableChoice = *p.enable ? 0 : 1;
        if (auto* adc = dynamic_cast<AdcPortChain*>(chain_.get())) {
            AdcPortForm& f = adc->form();
            if (p.toSwitch) f.modeChoice = *p.toSwitch ? 1 : 0;
            if (p.toSwitch && *p.toSwitch) f.level = p.level;
            if (p.reference) f.referenceIndex = *p.reference;
        }
        // The write needs the read to have finished well enough to offer "Setting".
        chain_->onSetting();
        whenChainEnds([this] { afterWrite(); });
    }

    void afterWrite() {
        QTextStream err(stderr);
        const bool owed = chain_->runModeOwed();
        if (o_.json) {
            QJsonArray written;
            for (const QString& w : written_) written.append(w);
            const char* ends[] = {"none", "complete", "warning", "aborted"};
            QTextStream(stdout) << QJsonDocument(jsonDocument({{"port", port_},
                                                               {"written", written},
                                                               {"end", ends[static_cast<int>(chain_->lastEnd())]},
                                                               {"settingMode", owed}}))
                                       .toJson(QJsonDocument::Compact)
                                << '\n';
        }
        switch (chain_->lastEnd()) {
            case ChainEnd::Complete:
                if (!owed) return finishWithFailures();
                break;
            case ChainEnd::Warning:
            case ChainEnd::Aborted:
                err << "tarnctl: " << chain_->lastMessage().c_str() << '\n';
                break;
            case ChainEnd::None:
                err << "tarnctl: nothing was written: the port's settings could not be read\n";
                break;
        }
        if (owed) err << "tarnctl: the device may still be in setting mode\n";
        endLoop(kExitDeviceFailure);
    }

    void finishWithFailures() {
        if (!failed_.isEmpty()) QTextStream(stderr) << "tarnctl: failed: " << failed_.join(", ") << '\n';
        endLoop(failed_.isEmpty() ? kExitOk : kExitDeviceFailure);
    }

    // The link dropped. With the device perhaps left in setting mode, connect once more and return
    // it to run mode, as the monitor's "Yes" does.
    void linkFailure() {
        QTextStream(stderr) << "tarnctl: " << session_.failure() << '\n';
        if (!chain_->runModeOwed()) return endLoop(kExitUsage);
        chain_->close();
        engine_.Disconnect();
        session_.open(o_, [this](bool opened) {
            if (!opened) return stillInSettingMode();
            session_.run([this] { return engine_.ChangeRunMode(); },
                         [this](std::optional<int> back) {
                             if (back != kIoResultSuccess) return stillInSettingMode();
                             QTextStream(stderr)
                                 << "tarnctl: the link was lost in setting mode; connected again and returned "
                                    "the device to run mode\n";
                             endLoop(kExitUsage);
                         });
        });
    }

    void stillInSettingMode() {
        QTextStream(stderr) << "tarnctl: the device may still be in setting mode\n";
        endLoop(kExitUsage);
    }

    const IoOptions& o_;
    CCommProcess& engine_;
    IoSession& session_;
    const int port_;
    PrintingPrompter prompter_;
    std::unique_ptr<PortDialogChain> chain_;
    ReadSettings read_;
    QStringList failed_;   // the requests of the chains that failed, by name
    QStringList written_;  // the writes the device took, by name
    QObject stopContext_;  // the stop signals are delivered while the command lives
    int stopSignal_ = 0;
    bool stopping_ = false;  // returning the device to run mode after a stop signal
};

}  // namespace

int checkPortCommand(const IoOptions& o) {
    const QString command = o.words[0];
    const PortKind kind = portKind(command);
    const int count = kind == PortKind::Output ? kIoOutputCount : kind == PortKind::Adc ? kIoAdcCount : kIoInputCount;
    bool ok = o.words.size() == 2;
    const int port = ok ? o.words[1].toInt(&ok) : 0;
    if (!ok || port < 1 || port > count)
        return usageError(QStringLiteral("usage: io %1 N ..., N from 1 to %2").arg(command).arg(count));
    if (auto error = checkOptions(kind, o.portOptions)) return usageError(*error);
    return kExitOk;
}

std::shared_ptr<void> startPortCommand(const IoOptions& o, CCommProcess& engine, IoSession& session) {
    auto command = std::make_shared<PortCommand>(o, engine, session);
    command->start();
    return command;
}

}  // namespace tarnctl
