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

#include <QTextStream>

#include "core/iolink/io_commands.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/io_session.h"

namespace tarnctl {

namespace {

using tarn::CCommProcess;

// 0 when `result` is the command's success; otherwise reports it and gives the exit code.
int checkResult(int index, int result, int success) {
    if (result == success) return kExitOk;
    QTextStream(stderr) << "tarnctl: " << tarn::ioResultText(index, result).c_str() << '\n';
    return kExitDeviceFailure;
}

// The configuration blocks as JSON: the enable status, and the power stoppage when it was read.
std::string configJson(const tarn::IoConfig& c, bool withPowerStoppage) {
    std::string out =
        "{\"adcMode\":" + jsonNumbers(c.adcMode) + ",\"reference\":" + jsonString(std::string(1, c.reference)) +
        ",\"inputEnable\":" + jsonNumbers(c.inputEnable) + ",\"outputEnable\":" + jsonNumbers(c.outputEnable);
    if (withPowerStoppage) out += ",\"powerStoppage\":" + jsonNumbers(c.powerStoppage);
    return out + "}";
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
        std::string adc = "[";
        for (int k = 0; k < tarn::kIoAdcCount; ++k) {
            if (k) adc += ',';
            adc += "{\"code\":" + std::to_string(static_cast<int>(s.adc[k].code)) +
                   ",\"value\":" + jsonString(s.adc[k].value) + "}";
        }
        adc += "]";
        if (o->json) {
            out << "{\"outputs\":" << jsonNumbers(s.output).c_str() << ",\"inputs\":" << jsonNumbers(s.input).c_str()
                << ",\"adc\":" << adc.c_str();
            if (command == "status") out << ",\"config\":" << configJson(engine.config(), false).c_str();
            out << "}\n";
        } else {
            out << "outputs " << jsonNumbers(s.output).c_str() << "\ninputs  " << jsonNumbers(s.input).c_str();
            for (int k = 0; k < tarn::kIoAdcCount; ++k)
                out << "\nadc " << k + 1 << "   code " << static_cast<int>(s.adc[k].code) << " value "
                    << s.adc[k].value.c_str();
            out << '\n';
        }
        const bool reached = command != "switch" || tarn::switchReport(port, value == 0, s).reached;
        endLoop(reached ? kExitOk : kExitDeviceFailure);
    };
    const auto printConfig = [&] {
        QTextStream out(stdout);
        const tarn::IoConfig& c = engine.config();
        if (o->json) {
            out << configJson(c, true).c_str() << '\n';
        } else {
            out << "adc mode       " << jsonNumbers(c.adcMode).c_str() << "\nreference      " << c.reference
                << "\ninput enable   " << jsonNumbers(c.inputEnable).c_str() << "\noutput enable  "
                << jsonNumbers(c.outputEnable).c_str() << "\npower stoppage " << jsonNumbers(c.powerStoppage).c_str()
                << '\n';
        }
        endLoop(kExitOk);
    };
    const auto printSerial = [&] {
        QTextStream out(stdout);
        const tarn::IoConfig& c = engine.config();
        if (o->json) {
            out << "{\"serialNumber\":" << jsonString(c.serialNumber).c_str()
                << ",\"firmwareVersion\":" << jsonString(c.firmwareVersion).c_str() << "}\n";
        } else {
            out << "serial number    " << c.serialNumber.c_str() << "\nfirmware version " << c.firmwareVersion.c_str()
                << '\n';
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
        if (command == "setting-mode") {
            return step(
                ChangeSettingMode, [&] { return engine.ChangeSettingMode(); }, tarn::kIoResultSettingMode,
                [] {
                    QTextStream(stdout) << "setting mode\n";
                    endLoop(kExitOk);
                });
        }
        step(
            ChangeRunMode, [&] { return engine.ChangeRunMode(); }, ok,
            [] {
                QTextStream(stdout) << "run mode\n";
                endLoop(kExitOk);
            });
    };
    return runLoop([&] {
        session.open(*o, [&](bool opened) {
            if (!opened) return linkFailure();
            start();
        });
    });
}

}  // namespace tarnctl
