// tarnctl io: talks the I/O command protocol to one device, over TCP or a serial line.
//
//   tarnctl io (--host H --port P | --serial PATH [--baud N --parity n|e|o --data-bits 7|8
//              --stop-bits 1|2]) <status [--json] | switch N on|off | config [--json] |
//              serial [--json] | run-mode | setting-mode | output N ... | input N ... | adc N ...>
//
// Exit codes: 0 success; 1 the device answered with a result other than success (the result
// character is printed), or gave no valid answer; 2 bad usage or a link failure.
#include <optional>
#include <string>

#include <QTextStream>

#include "core/iolink/io_commands.h"
#include "tarnctl/commands.h"
#include "tarnctl/io_session.h"

namespace tarnctl {

namespace {

using tarn::CCommProcess;

// 0 when `result` is the command's success; otherwise reports it and gives the exit code.
int checkResult(int result, int success) {
    if (result == success) return kExitOk;
    QTextStream err(stderr);
    if (result == tarn::kIoResultFailed) {
        err << "tarnctl: no valid answer from the device (time-out, bad checksum or refused)\n";
    } else {
        err << "tarnctl: the device answered with result " << QChar(static_cast<char>(result)) << '\n';
    }
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
                !QStringList({"status", "config", "serial", "run-mode", "setting-mode"}).contains(command))) {
        return usageError(QStringLiteral("unknown io command '%1'").arg(o->words.join(' ')));
    }

    CCommProcess engine;
    IoSession session(engine);
    QTextStream out(stdout);
    QTextStream err(stderr);
    auto linkFailure = [&] {
        err << "tarnctl: " << session.failure() << '\n';
        return kExitUsage;
    };
    if (!session.open(*o)) return linkFailure();
    if (portCommand) return runPortCommand(*o, engine, session);

    std::optional<int> result;
    auto read = [&](bool (CCommProcess::*request)()) -> int {
        result = session.run([&] { return (engine.*request)(); });
        if (!result) return linkFailure();
        return checkResult(*result, tarn::kIoResultSuccess);
    };
    if (command == "status" || command == "switch") {
        // As the monitor does: the configuration first, so the status is read against it.
        if (command == "status") {
            if (int code = read(&CCommProcess::ReadEnableStatus)) return code;
        }
        result = command == "status" ? session.run([&] { return engine.ReadStatus(); })
                                     : session.run([&] { return engine.SwitchOutput(port, value); });
        if (!result) return linkFailure();
        if (int code = checkResult(*result, tarn::kIoResultSuccess)) return code;
        const tarn::IoStatus& s = engine.status();
        if (command == "switch" && !o->json) {
            out << "output " << port << (value == 0 ? " on" : " off") << '\n';
            return kExitOk;
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
        return kExitOk;
    }
    if (command == "config") {
        for (auto request : {&CCommProcess::ReadEnableStatus, &CCommProcess::ReadPowerStoppage})
            if (int code = read(request)) return code;
        const tarn::IoConfig& c = engine.config();
        if (o->json) {
            out << configJson(c, true).c_str() << '\n';
        } else {
            out << "adc mode       " << jsonNumbers(c.adcMode).c_str() << "\nreference      " << c.reference
                << "\ninput enable   " << jsonNumbers(c.inputEnable).c_str() << "\noutput enable  "
                << jsonNumbers(c.outputEnable).c_str() << "\npower stoppage " << jsonNumbers(c.powerStoppage).c_str()
                << '\n';
        }
        return kExitOk;
    }
    if (command == "serial") {
        result = session.run([&] { return engine.ReadSerialFirmware(); });
        if (!result) return linkFailure();
        if (int code = checkResult(*result, tarn::kIoResultSuccess)) return code;
        const tarn::IoConfig& c = engine.config();
        if (o->json) {
            out << "{\"serialNumber\":" << jsonString(c.serialNumber).c_str()
                << ",\"firmwareVersion\":" << jsonString(c.firmwareVersion).c_str() << "}\n";
        } else {
            out << "serial number    " << c.serialNumber.c_str() << "\nfirmware version " << c.firmwareVersion.c_str()
                << '\n';
        }
        return kExitOk;
    }
    const bool setting = command == "setting-mode";
    result = setting ? session.run([&] { return engine.ChangeSettingMode(); })
                     : session.run([&] { return engine.ChangeRunMode(); });
    if (!result) return linkFailure();
    // ChangeSettingMode succeeds with "1", everything else with "0".
    if (int code = checkResult(*result, setting ? tarn::kIoResultSettingMode : tarn::kIoResultSuccess)) return code;
    out << (setting ? "setting mode\n" : "run mode\n");
    return kExitOk;
}

}  // namespace tarnctl
