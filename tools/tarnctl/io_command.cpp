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

}  // namespace

int runIo(const QStringList& args) {
    QString error;
    const auto o = parseIoOptions(args, &error);
    if (!o) return usageError(error);
    const QString command = o->words[0];
    const bool portCommand = command == "output" || command == "input" || command == "adc";
    int port = 0;
    int value = 0;
    if (command == "switch") {
        bool ok = o->words.size() == 3;
        if (ok) port = o->words[1].toInt(&ok);
        ok = ok && port >= 1 && port <= tarn::kIoOutputCount && (o->words[2] == "on" || o->words[2] == "off");
        if (!ok) return usageError(QStringLiteral("usage: io switch N on|off, N from 1 to 10"));
        value = o->words[2] == "on" ? 0 : 1;
    } else if (!portCommand &&
               (o->words.size() != 1 ||
                !QStringList({"status", "config", "serial", "run-mode", "setting-mode", "watch"}).contains(command))) {
        return usageError(QStringLiteral("unknown io command '%1'").arg(o->words.join(' ')));
    }

    if (const auto unused = unusedIoOptions(*o)) return usageError(*unused);
    if (portCommand) {
        if (int code = checkPortCommand(*o)) return code;
    }

    CCommProcess engine;
    IoSession session(engine);
    std::shared_ptr<void> portRun;
    const auto linkFailure = [&] {
        QTextStream(stderr) << "tarnctl: " << session.failure() << '\n';
        endLoop(kExitUsage);
    };
    // One request, then `then` with its result when it is the command's success; any other ending
    // finishes the command.
    const auto step = [&](int index, std::function<bool()> queue, int success, std::function<void()> then) {
        session.run(queue, [&, index, success, then = std::move(then)](std::optional<int> result) {
            if (!result) return linkFailure();
            if (int code = checkResult(index, *result, success)) return endLoop(code);
            then();
        });
    };
    const auto printStatus = [&] {
        QTextStream out(stdout);
        const tarn::IoStatus& s = engine.status();
        if (command == "switch") {
            const tarn::SwitchReport report = tarn::switchReport(port, value == 0, s);
            if (report.reached && !o->json) out << report.text.c_str() << '\n';
            if (!report.reached) QTextStream(stderr) << "tarnctl: " << report.text.c_str() << '\n';
            if (!o->json) return endLoop(report.reached ? kExitOk : kExitDeviceFailure);
        }
        if (o->json) {
            QJsonArray adc;
            for (const tarn::IoAdcState& a : s.adc)
                adc.append(QJsonObject{{"code", static_cast<int>(a.code)}, {"value", numberOrText(a.value)}});
            QJsonObject json{{"outputs", numbers(s.output)}, {"inputs", numbers(s.input)}, {"adc", adc}};
            if (command == "status") json.insert("config", configJson(engine.config(), false));
            printCompact(json);
        } else {
            out << "outputs " << numbersText(s.output) << "\ninputs  " << numbersText(s.input);
            for (int k = 0; k < tarn::kIoAdcCount; ++k)
                out << "\nadc " << k + 1 << "   code " << static_cast<int>(s.adc[k].code) << " value "
                    << latin1(tarn::escapeControlCharacters(s.adc[k].value));
            out << '\n';
        }
        const bool reached = command != "switch" || tarn::switchReport(port, value == 0, s).reached;
        endLoop(reached ? kExitOk : kExitDeviceFailure);
    };
    const auto printConfig = [&] {
        QTextStream out(stdout);
        const tarn::IoConfig& c = engine.config();
        if (o->json) {
            printCompact(configJson(c, true));
        } else {
            out << "adc mode       " << numbersText(c.adcMode) << "\nreference      "
                << latin1(tarn::escapeControlCharacters(std::string(1, c.reference))) << "\ninput enable   "
                << numbersText(c.inputEnable) << "\noutput enable  " << numbersText(c.outputEnable)
                << "\npower stoppage " << numbersText(c.powerStoppage) << '\n';
        }
        endLoop(kExitOk);
    };
    const auto printSerial = [&] {
        QTextStream out(stdout);
        const tarn::IoConfig& c = engine.config();
        if (o->json) {
            // The firmware's version is the device's version, as probe and fleet name it.
            printCompact(
                {{"serialNumber", latin1(c.serialNumber).trimmed()}, {"version", latin1(c.firmwareVersion).trimmed()}});
        } else {
            out << "serial number    " << latin1(tarn::escapeControlCharacters(c.serialNumber)) << "\nfirmware version "
                << latin1(tarn::escapeControlCharacters(c.firmwareVersion)) << '\n';
        }
        endLoop(kExitOk);
    };
    using namespace tarn::IoCommand;
    const int ok = tarn::kIoResultSuccess;
    const auto start = [&] {
        if (portCommand) {
            portRun = startPortCommand(*o, engine, session);
            return;
        }
        if (command == "watch") {
            portRun = startWatch(*o, engine, session);
            return;
        }
        if (command == "status") {
            // As the monitor does: the configuration first, so the status is read against it.
            return step(
                ReadEnableStatus, [&] { return engine.ReadEnableStatus(); }, ok,
                [&] {
                    step(
                        ReadStatus, [&] { return engine.ReadStatus(); }, ok, printStatus);
                });
        }
        if (command == "switch")
            return step(
                ReadStatus, [&] { return engine.SwitchOutput(port, value); }, ok, printStatus);
        if (command == "config") {
            return step(
                ReadEnableStatus, [&] { return engine.ReadEnableStatus(); }, ok,
                [&] {
                    step(
                        ReadPowerStoppage, [&] { return engine.ReadPowerStoppage(); }, ok, printConfig);
                });
        }
        if (command == "serial")
            return step(
                ReadSerialFirmware, [&] { return engine.ReadSerialFirmware(); }, ok, printSerial);
        // ChangeSettingMode succeeds with "1", everything else with "0".
        // "setting mode", or {"mode": "setting"} with --json.
        const auto printMode = [&](const char* mode) {
            if (o->json)
                printCompact({{"mode", QString::fromLatin1(mode)}});
            else
                QTextStream(stdout) << mode << " mode\n";
            endLoop(kExitOk);
        };
        if (command == "setting-mode") {
            return step(
                ChangeSettingMode, [&] { return engine.ChangeSettingMode(); }, tarn::kIoResultSettingMode,
                [printMode] { printMode("setting"); });
        }
        step(
            ChangeRunMode, [&] { return engine.ChangeRunMode(); }, ok, [printMode] { printMode("run"); });
    };
    return runLoop([&] {
        session.open(*o, [&](bool opened) {
            if (!opened) return linkFailure();
            start();
        });
    });
}

}  // namespace tarnctl
