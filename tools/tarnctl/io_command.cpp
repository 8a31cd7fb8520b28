// tarnctl io: talks the I/O command protocol to one device, over TCP or a serial line.
//
//   tarnctl io (--host H --port P | --serial PATH [--baud N --parity n|e|o --data-bits 7|8
//              --stop-bits 1|2]) <status [--json] | switch N on|off | config [--json] |
//              serial [--json] | run-mode | setting-mode>
//
// Exit codes: 0 success; 1 the device answered with a result other than success (the result
// character is printed), or gave no valid answer; 2 bad usage or a link failure.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

#include "core/iolink/io_commands.h"
#include "link/iolink/comm_process.h"
#include "tarnctl/commands.h"

namespace tarnctl {

namespace {

using tarn::CCommProcess;
using tarn::IoCommand::ChangeSettingMode;

struct IoOptions {
    QString host;
    int port = 0;
    QString serial;
    tarn::SerialSettings line;
    bool json = false;
    QStringList words;  // the subcommand and its arguments
};

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

template <typename Array>
std::string jsonNumbers(const Array& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(static_cast<int>(values[i]));
    }
    return out + "]";
}

std::optional<IoOptions> parseOptions(const QStringList& args, QString* error) {
    IoOptions o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool takesValue = a == "--host" || a == "--port" || a == "--serial" || a == "--baud" || a == "--parity" ||
                                a == "--data-bits" || a == "--stop-bits";
        if (takesValue && i + 1 >= args.size()) {
            *error = a + " needs a value";
            return std::nullopt;
        }
        bool ok = true;
        if (a == "--json") {
            o.json = true;
        } else if (a == "--host") {
            o.host = args[++i];
        } else if (a == "--port") {
            o.port = args[++i].toInt(&ok);
            ok = ok && o.port >= 1 && o.port <= 65535;
        } else if (a == "--serial") {
            o.serial = args[++i];
        } else if (a == "--baud") {
            o.line.baudRate = args[++i].toUInt(&ok);
            ok = ok && o.line.baudRate > 0;
        } else if (a == "--parity") {
            const QString p = args[++i];
            ok = p == "n" || p == "e" || p == "o";
            if (ok) o.line.parity = p.at(0).toLatin1();
        } else if (a == "--data-bits") {
            o.line.dataBits = args[++i].toInt(&ok);
            ok = ok && (o.line.dataBits == 7 || o.line.dataBits == 8);
        } else if (a == "--stop-bits") {
            const QString s = args[++i];
            ok = s == "1" || s == "2";
            o.line.stopBits = s == "2" ? 2 : 1;
        } else if (a.startsWith("--")) {
            *error = "unknown option " + a;
            return std::nullopt;
        } else {
            o.words << a;
        }
        if (!ok) {
            *error = "bad value for " + a + ": " + args[i];
            return std::nullopt;
        }
    }
    const bool tcp = !o.host.isEmpty() || o.port != 0;
    if (tcp == !o.serial.isEmpty() || (tcp && (o.host.isEmpty() || o.port == 0))) {
        *error = "give exactly one of --host H --port P or --serial PATH";
        return std::nullopt;
    }
    if (o.words.isEmpty()) {
        *error = "io needs a command: status, switch N on|off, config, serial, run-mode or setting-mode";
        return std::nullopt;
    }
    return o;
}

// Runs requests one by one on an open engine, waiting on its signals.
class Session {
public:
    explicit Session(CCommProcess& engine) : engine_(engine) {
        QObject::connect(&engine_, &CCommProcess::ioResult, &loop_, [this](int, int result) {
            result_ = result;
            loop_.quit();
        });
        QObject::connect(&engine_, &CCommProcess::ioLinkLost, &loop_, [this] {
            lost_ = true;
            loop_.quit();
        });
        QObject::connect(&engine_, &CCommProcess::linkOpened, &loop_, [this] {
            connected_ = true;
            loop_.quit();
        });
        QObject::connect(&engine_, &CCommProcess::openFailed, &loop_, [this] { loop_.quit(); });
    }

    // Both links open from the event loop; the link bounds the wait.
    bool open(const IoOptions& o) {
        const bool serial = !o.serial.isEmpty();
        if (serial ? !engine_.openSerialPath(o.serial, o.line) : !engine_.ConnectNetwork(o.host, o.port)) {
            failure_ = QStringLiteral("a link is already open");
            return false;
        }
        loop_.exec();
        if (connected_) return true;
        failure_ =
            serial ? QStringLiteral("cannot open %1: %2").arg(o.serial, engine_.errorString())
                   : QStringLiteral("cannot connect to %1:%2: %3").arg(o.host).arg(o.port).arg(engine_.errorString());
        return false;
    }

    // Queues a request (through `queue`) and waits for its result; nothing on a link failure.
    template <typename Queue>
    std::optional<int> run(Queue&& queue) {
        result_.reset();
        if (!queue()) {
            const std::string_view why = tarn::ioRefusalText(engine_.lastRefusal());
            failure_ = QString::fromLatin1(why.data(), static_cast<qsizetype>(why.size()));
            return std::nullopt;
        }
        if (!result_ && !lost_) loop_.exec();  // the reply time-out bounds the wait
        if (lost_) {
            failure_ = QStringLiteral("link lost: %1").arg(engine_.errorString());
            return std::nullopt;
        }
        return result_;
    }

    const QString& failure() const { return failure_; }

private:
    CCommProcess& engine_;
    QEventLoop loop_;
    std::optional<int> result_;
    bool lost_ = false;
    bool connected_ = false;
    QString failure_;
};

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

}  // namespace

int runIo(const QStringList& args) {
    QString error;
    const auto o = parseOptions(args, &error);
    if (!o) return usageError(error);
    const QString command = o->words[0];
    int port = 0;
    int value = 0;
    if (command == "switch") {
        bool ok = o->words.size() == 3;
        if (ok) port = o->words[1].toInt(&ok);
        ok = ok && port >= 1 && port <= tarn::kIoOutputCount && (o->words[2] == "on" || o->words[2] == "off");
        if (!ok) return usageError(QStringLiteral("usage: io switch N on|off, N from 1 to 10"));
        value = o->words[2] == "on" ? 0 : 1;
    } else if (o->words.size() != 1 ||
               !QStringList({"status", "config", "serial", "run-mode", "setting-mode"}).contains(command)) {
        return usageError(QStringLiteral("unknown io command '%1'").arg(o->words.join(' ')));
    }

    CCommProcess engine;
    Session session(engine);
    QTextStream out(stdout);
    QTextStream err(stderr);
    auto linkFailure = [&] {
        err << "tarnctl: " << session.failure() << '\n';
        return kExitUsage;
    };
    if (!session.open(*o)) return linkFailure();

    std::optional<int> result;
    if (command == "status" || command == "switch") {
        result = command == "status" ? session.run([&] { return engine.ReadStatus(); })
                                     : session.run([&] { return engine.SwitchOutput(port, value); });
        if (!result) return linkFailure();
        if (int code = checkResult(*result, tarn::kIoResultSuccess)) return code;
        const tarn::IoStatus& s = engine.engine().status();
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
                << ",\"adc\":" << adc.c_str() << "}\n";
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
        for (auto request : {&CCommProcess::ReadEnableStatus, &CCommProcess::ReadPowerStoppage}) {
            result = session.run([&] { return (engine.*request)(); });
            if (!result) return linkFailure();
            if (int code = checkResult(*result, tarn::kIoResultSuccess)) return code;
        }
        const tarn::IoConfig& c = engine.engine().config();
        const std::string reference(1, c.reference);
        if (o->json) {
            out << "{\"adcMode\":" << jsonNumbers(c.adcMode).c_str()
                << ",\"reference\":" << jsonString(reference).c_str()
                << ",\"inputEnable\":" << jsonNumbers(c.inputEnable).c_str()
                << ",\"outputEnable\":" << jsonNumbers(c.outputEnable).c_str()
                << ",\"powerStoppage\":" << jsonNumbers(c.powerStoppage).c_str() << "}\n";
        } else {
            out << "adc mode       " << jsonNumbers(c.adcMode).c_str() << "\nreference      " << reference.c_str()
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
        const tarn::IoConfig& c = engine.engine().config();
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
