#include "tarnctl/io_session.h"

#include <utility>

#include "tarnctl/options.h"

namespace tarnctl {

namespace {

QStringList dashed(const QList<QCommandLineOption>& options) {
    QStringList names;
    for (const QCommandLineOption& o : options)
        for (const QString& name : o.names()) names << "--" + name;
    return names;
}

// The options that take one value ("--pulse" takes two).
QStringList valueOptions() {
    QList<QCommandLineOption> taking;
    for (const QCommandLineOption& o : ioOptions())
        if (!o.valueName().isEmpty()) taking << o;
    return dashed(taking);
}

// The declared defaults ("--baud 9600", "--interval 2"), read as if given before the arguments.
QStringList defaultArguments() {
    QStringList args;
    for (const QCommandLineOption& o : ioOptions())
        if (!o.defaultValues().isEmpty()) args << "--" + o.names().first() << o.defaultValues().first();
    return args;
}

bool portOption(PortOptions& p, const QString& a, const QStringList& args, int& i, QString* error) {
    auto value = [&] { return args[++i].toLatin1().toStdString(); };
    // Each setting is given once: "--enable --disable" is a contradiction, not a choice.
    auto once = [&](bool given, const char* options) {
        if (given) *error = QStringLiteral("give only one of %1").arg(QLatin1String(options));
        return !given;
    };
    if ((a == "--enable" || a == "--disable") && !once(p.enable.has_value(), "--enable and --disable")) return false;
    if ((a == "--macro" || a == "--no-macro") && !once(p.macro || p.noMacro, "--macro and --no-macro")) return false;
    if (a == "--power-recovery" && !once(p.powerRecovery.has_value(), "--power-recovery on and off")) return false;
    if ((a == "--level" || a == "--switch") && !once(p.toSwitch.has_value(), "--level and --switch")) return false;
    if (a == "--reference" && !once(p.reference.has_value(), "--reference avcc, inside and outside")) return false;
    auto timing = [&](int mode) {
        if (p.delayPulseMode) {
            *error = QStringLiteral("give one of --delay-on, --delay-off, --pulse and --no-delay-pulse");
            return false;
        }
        p.delayPulseMode = mode;
        return true;
    };
    if (a == "--enable" || a == "--disable") {
        p.enable = a == "--enable";
    } else if (a == "--macro") {
        p.macro = value();
    } else if (a == "--no-macro") {
        p.noMacro = true;
    } else if (a == "--delay-on") {
        if (!timing(0)) return false;
        p.onTime = value();
    } else if (a == "--delay-off") {
        if (!timing(1)) return false;
        p.offTime = value();
    } else if (a == "--pulse") {
        if (i + 2 >= args.size()) {
            *error = QStringLiteral("--pulse needs an on time and an off time");
            return false;
        }
        if (!timing(2)) return false;
        p.onTime = value();
        p.offTime = value();
    } else if (a == "--no-delay-pulse") {
        if (!timing(-1)) return false;
    } else if (a == "--power-recovery") {
        const QString v = args[++i];
        if (v != "on" && v != "off") {
            *error = QStringLiteral("bad value for --power-recovery: %1 (on or off)").arg(v);
            return false;
        }
        p.powerRecovery = v == "on";
    } else if (a == "--level") {
        p.toSwitch = false;
    } else if (a == "--switch") {
        p.toSwitch = true;
        p.level = value();
    } else if (a == "--reference") {
        const QString v = args[++i];
        const int index = QStringList({"avcc", "inside", "outside"}).indexOf(v);
        if (index < 0) {
            *error = QStringLiteral("bad value for --reference: %1 (avcc, inside or outside)").arg(v);
            return false;
        }
        p.reference = index;
    } else {
        *error = "unknown option " + a;
        return false;
    }
    return true;
}

}  // namespace

std::optional<IoOptions> parseIoOptions(const QStringList& commandLine, QString* error) {
    IoOptions o;
    const QStringList kValueOptions = valueOptions();
    const QStringList link = dashed(options({Option::IoHost, Option::IoPort, Option::Serial, Option::Baud,
                                             Option::Parity, Option::DataBits, Option::StopBits}));
    const QStringList defaults = defaultArguments();
    const QStringList args = defaults + commandLine;
    for (int i = 0; i < args.size(); ++i) {
        if (i == defaults.size()) o.given.clear();  // the defaults are not options the command line gave
        const QString& a = args[i];
        if (kValueOptions.contains(a) && i + 1 >= args.size()) {
            *error = a + " needs a value";
            return std::nullopt;
        }
        bool ok = true;
        if (a.startsWith("--") && !link.contains(a) && !o.given.contains(a)) o.given << a;
        if (a == "--json") {
            o.json = true;
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--interval") {
            const double seconds = args[++i].toDouble(&ok);
            ok = ok && seconds >= 0.1 && seconds <= 86400;
            o.intervalMs = static_cast<int>(seconds * 1000 + 0.5);
        } else if (a == "--count") {
            o.count = args[++i].toInt(&ok);
            ok = ok && o.count >= 1;
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
            if (!portOption(o.portOptions, a, args, i, error)) return std::nullopt;
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
    if (o.json && o.csv) {
        *error = "give only one of --json and --csv";
        return std::nullopt;
    }
    if (o.words.isEmpty()) {
        *error =
            "io needs a command: status, switch N on|off, config, serial, run-mode, setting-mode, output N, "
            "input N, adc N or watch";
        return std::nullopt;
    }
    return o;
}

std::optional<QString> unusedIoOptions(const IoOptions& o) {
    const QString command = o.words.value(0);
    const QStringList taken = dashed(ioSubcommandOptions(command));
    QStringList unused;
    for (const QString& g : o.given)
        if (!taken.contains(g)) unused << g;
    if (unused.isEmpty()) return std::nullopt;
    return QStringLiteral("io %1 takes no %2").arg(command, unused.join(QStringLiteral(", ")));
}

IoSession::IoSession(tarn::CCommProcess& engine) : engine_(engine) {
    using tarn::CCommProcess;
    QObject::connect(&engine_, &CCommProcess::ioResult, &engine_, [this](int, int result) {
        if (auto done = std::exchange(result_, nullptr)) done(result);
        // Looked at once every handler of this result has run (a chain's among them).
        QMetaObject::invokeMethod(
            &engine_, [this] { check(); }, Qt::QueuedConnection);
    });
    QObject::connect(&engine_, &CCommProcess::ioLinkLost, &engine_, [this] { linkLost(); });
    QObject::connect(&engine_, &CCommProcess::linkOpened, &engine_, [this] {
        if (auto done = std::exchange(opening_, nullptr)) done(true);
    });
    QObject::connect(&engine_, &CCommProcess::openFailed, &engine_, [this] {
        if (auto done = std::exchange(opening_, nullptr)) done(false);
    });
}

void IoSession::open(const IoOptions& o, std::function<void(bool)> done) {
    lost_ = false;
    const bool serial = !o.serial.isEmpty();
    opening_ = [this, o, serial, done](bool opened) {
        if (!opened)
            failure_ =
                serial
                    ? QStringLiteral("cannot open %1: %2").arg(o.serial, engine_.errorString())
                    : QStringLiteral("cannot connect to %1:%2: %3").arg(o.host).arg(o.port).arg(engine_.errorString());
        done(opened);
    };
    if (serial ? !engine_.openSerialPath(o.serial, o.line) : !engine_.ConnectNetwork(o.host, o.port)) {
        opening_ = nullptr;
        failure_ = QStringLiteral("a link is already open");
        done(false);
    }
}

void IoSession::run(const std::function<bool()>& queue, std::function<void(std::optional<int>)> done) {
    if (lost_) {
        done(std::nullopt);
        return;
    }
    if (!queue()) {
        // The refused request still gets its result, 0, from the event loop; it is not waited for.
        failure_ = tarn::latin1(tarn::ioRefusalText(engine_.lastRefusal()));
        result_ = [done = std::move(done)](std::optional<int>) { done(std::nullopt); };
        return;
    }
    result_ = std::move(done);
}

void IoSession::whenReady(std::function<bool()> ready, std::function<void(bool)> done) {
    ready_ = std::move(ready);
    readyDone_ = std::move(done);
    check();
}

void IoSession::check() {
    if (readyDone_ && (lost_ || ready_())) {
        ready_ = nullptr;
        std::exchange(readyDone_, nullptr)(!lost_);
    }
}

void IoSession::linkLost() {
    lost_ = true;
    failure_ = QStringLiteral("link lost: %1").arg(engine_.errorString());
    if (auto done = std::exchange(result_, nullptr)) done(std::nullopt);
    check();
}

}  // namespace tarnctl
