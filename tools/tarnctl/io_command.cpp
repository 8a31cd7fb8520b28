// tarnctl io: talks the I/O command protocol to one device, over TCP or a serial line.
//
//   tarnctl io (--host H --port P | --serial PATH [--baud N --parity n|e|o --data-bits 7|8
//              --stop-bits 1|2]) <status [--json] | switch N on|off | config [--json] |
//              serial [--json] | run-mode | setting-mode | output N ... | input N ... | adc N ... |
//              watch [--interval S] [--count N] [--csv | --json]>
//
// Exit codes: 0 success; 1 the device answered with a result other than success (the result
// character is printed), or gave no valid answer; 2 bad usage or a link failure; watch: 130 or
// 143 when SIGINT or SIGTERM stopped it.
#include <functional>
#include <optional>
#include <string>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "core/common/text.h"
#include "core/iolink/io_commands.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/io_session.h"
#include "tarnctl/json_output.h"

namespace tarnctl {

namespace {

using tarn::CCommProcess;
using tarn::latin1;

// 0 when `result` is the command's success; otherwise reports it and gives the exit code.
int checkResult(int index, int result, int success) {
    if (result == success) return kExitOk;
    QTextStream(stderr) << "tarnctl: " << tarn::ioResultText(index, result).c_str() << '\n';
    return kExitDeviceFailure;
}

template <typename Array>
QJsonArray numbers(const Array& values) {
    QJsonArray array;
    for (const auto v : values) array.append(static_cast<int>(v));
    return array;
}

// "[2,0,2]": the numbers as the text output shows them.
template <typename Array>
QString numbersText(const Array& values) {
    return QString::fromUtf8(QJsonDocument(numbers(values)).toJson(QJsonDocument::Compact));
}

// The configuration blocks as JSON: the enable status, and the power stoppage when it was read.
QJsonObject configJson(const tarn::IoConfig& c, bool withPowerStoppage) {
    QJsonObject config{{"adcMode", numbers(c.adcMode)},
                       {"reference", numberOrText(std::string(1, c.reference))},
                       {"inputEnable", numbers(c.inputEnable)},
                       {"outputEnable", numbers(c.outputEnable)}};
    if (withPowerStoppage) config.insert("powerStoppage", numbers(c.powerStoppage));
    return config;
}

void printCompact(const QJsonObject& keys) {
    QTextStream(stdout) << QJsonDocument(jsonDocument(keys)).toJson(QJsonDocument::Compact) << '\n';
}

// One io command on one link: its requests, each sent from the result of the one before, and what
// it prints at the end.
class IoRun {
public:
    IoRun(const IoOptions& o, int port, int value) : o_(o), port_(port), value_(value), session_(engine_) {}

    int exec(void (IoRun::*start)()) {
        return runLoop([this, start] {
            session_.open(o_, [this, start](bool opened) {
                if (!opened) return linkFailure();
                (this->*start)();
            });
        });
    }

    void portCommand() { held_ = startPortCommand(o_, engine_, session_); }
    void watch() { held_ = startWatch(o_, engine_, session_); }
    // As the monitor does: the configuration first, so the status is read against it.
    void status() {
        step(
            ReadEnableStatus, [this] { return engine_.ReadEnableStatus(); }, kOk,
            [this] {
                step(
                    ReadStatus, [this] { return engine_.ReadStatus(); }, kOk, [this] { printStatus(); });
            });
    }
    void switchOutput() {
        step(
            ReadStatus, [this] { return engine_.SwitchOutput(port_, value_); }, kOk, [this] { printStatus(); });
    }
    void config() {
        step(
            ReadEnableStatus, [this] { return engine_.ReadEnableStatus(); }, kOk,
            [this] {
                step(
                    ReadPowerStoppage, [this] { return engine_.ReadPowerStoppage(); }, kOk, [this] { printConfig(); });
            });
    }
    void serial() {
        step(
            ReadSerialFirmware, [this] { return engine_.ReadSerialFirmware(); }, kOk, [this] { printSerial(); });
    }
    // ChangeSettingMode succeeds with "1", everything else with "0".
    void settingMode() {
        step(
            ChangeSettingMode, [this] { return engine_.ChangeSettingMode(); }, tarn::kIoResultSettingMode,
            [this] { printMode("setting"); });
    }
    void runMode() {
        step(
            ChangeRunMode, [this] { return engine_.ChangeRunMode(); }, kOk, [this] { printMode("run"); });
    }

private:
    static constexpr int kOk = tarn::kIoResultSuccess;
    enum : int {
        ReadEnableStatus = tarn::IoCommand::ReadEnableStatus,
        ReadStatus = tarn::IoCommand::ReadStatus,
        ReadPowerStoppage = tarn::IoCommand::ReadPowerStoppage,
        ReadSerialFirmware = tarn::IoCommand::ReadSerialFirmware,
        ChangeSettingMode = tarn::IoCommand::ChangeSettingMode,
        ChangeRunMode = tarn::IoCommand::ChangeRunMode,
    };

    void linkFailure() {
        QTextStream(stderr) << "tarnctl: " << session_.failure() << '\n';
        endLoop(kExitUsage);
    }

    // One request, then `then` with its result when it is the command's success; any other ending
    // finishes the command.
    void step(int index, std::function<bool()> queue, int success, std::function<void()> then) {
        session_.run(queue, [this, index, success, then = std::move(then)](std::optional<int> result) {
            if (!result) return linkFailure();
            if (int code = checkResult(index, *result, success)) return endLoop(code);
            then();
        });
    }

    void printStatus() {
        const bool switching = o_.words[0] == "switch";
        QTextStream out(stdout);
        const tarn::IoStatus& s = engine_.status();
        if (switching) {
            const tarn::SwitchReport report = tarn::switchReport(port_, value_ == 0, s);
            if (report.reached && !o_.json) out << report.text.c_str() << '\n';
            if (!report.reached) QTextStream(stderr) << "tarnctl: " << report.text.c_str() << '\n';
            if (!o_.json) return endLoop(report.reached ? kExitOk : kExitDeviceFailure);
        }
        if (o_.json) {
            QJsonArray adc;
            for (const tarn::IoAdcState& a : s.adc)
                adc.append(QJsonObject{{"code", static_cast<int>(a.code)}, {"value", numberOrText(a.value)}});
            QJsonObject json{{"outputs", numbers(s.output)}, {"inputs", numbers(s.input)}, {"adc", adc}};
            if (!switching) json.insert("config", configJson(engine_.config(), false));
            printCompact(json);
        } else {
            out << "outputs " << numbersText(s.output) << "\ninputs  " << numbersText(s.input);
            for (int k = 0; k < tarn::kIoAdcCount; ++k)
                out << "\nadc " << k + 1 << "   code " << static_cast<int>(s.adc[k].code) << " value "
                    << latin1(tarn::escapeControlCharacters(s.adc[k].value));
            out << '\n';
        }
        const bool reached = !switching || tarn::switchReport(port_, value_ == 0, s).reached;
        endLoop(reached ? kExitOk : kExitDeviceFailure);
    }

    void printConfig() {
        const tarn::IoConfig& c = engine_.config();
        if (o_.json) {
            printCompact(configJson(c, true));
        } else {
            QTextStream(stdout) << "adc mode       " << numbersText(c.adcMode) << "\nreference      "
                                << latin1(tarn::escapeControlCharacters(std::string(1, c.reference)))
                                << "\ninput enable   " << numbersText(c.inputEnable) << "\noutput enable  "
                                << numbersText(c.outputEnable) << "\npower stoppage " << numbersText(c.powerStoppage)
                                << '\n';
        }
        endLoop(kExitOk);
    }

    void printSerial() {
        const tarn::IoConfig& c = engine_.config();
        if (o_.json) {
            // The firmware's version is the device's version, as probe and fleet name it.
            printCompact(
                {{"serialNumber", latin1(c.serialNumber).trimmed()}, {"version", latin1(c.firmwareVersion).trimmed()}});
        } else {
            QTextStream(stdout) << "serial number    " << latin1(tarn::escapeControlCharacters(c.serialNumber))
                                << "\nfirmware version " << latin1(tarn::escapeControlCharacters(c.firmwareVersion))
                                << '\n';
        }
        endLoop(kExitOk);
    }

    // "setting mode", or {"mode": "setting"} with --json.
    void printMode(const char* mode) {
        if (o_.json)
            printCompact({{"mode", QString::fromLatin1(mode)}});
        else
            QTextStream(stdout) << mode << " mode\n";
        endLoop(kExitOk);
    }

    const IoOptions& o_;
    const int port_;   // switch: the output
    const int value_;  // switch: 0 on, 1 off
    CCommProcess engine_;
    IoSession session_;
    std::shared_ptr<void> held_;  // a port command or watch, until the loop ends
};

// The subcommands that take no argument, and what each runs.
struct Subcommand {
    const char* name;
    void (IoRun::*start)();
};

constexpr Subcommand kSubcommands[] = {
    {"status", &IoRun::status},
    {"config", &IoRun::config},
    {"serial", &IoRun::serial},
    {"run-mode", &IoRun::runMode},
    {"setting-mode", &IoRun::settingMode},
    {"watch", &IoRun::watch},
};

}  // namespace

int runIo(const QStringList& args) {
    QString error;
    const auto o = parseIoOptions(args, &error);
    if (!o) return usageError(error);
    const QString command = o->words[0];
    const bool portCommand = command == "output" || command == "input" || command == "adc";
    void (IoRun::*start)() = portCommand ? &IoRun::portCommand : nullptr;
    int port = 0;
    int value = 0;
    if (command == "switch") {
        bool ok = o->words.size() == 3;
        if (ok) port = o->words[1].toInt(&ok);
        ok = ok && port >= 1 && port <= tarn::kIoOutputCount && (o->words[2] == "on" || o->words[2] == "off");
        if (!ok) return usageError(QStringLiteral("usage: io switch N on|off, N from 1 to 10"));
        value = o->words[2] == "on" ? 0 : 1;
        start = &IoRun::switchOutput;
    }
    for (const Subcommand& s : kSubcommands)
        if (o->words.size() == 1 && command == QLatin1String(s.name)) start = s.start;
    if (!start) return usageError(QStringLiteral("unknown io command '%1'").arg(o->words.join(' ')));

    if (const auto unused = unusedIoOptions(*o)) return usageError(*unused);
    if (portCommand) {
        if (int code = checkPortCommand(*o)) return code;
    }
    IoRun run(*o, port, value);
    return run.exec(start);
}

}  // namespace tarnctl
