// tarn-sim: a simulated fleet of TARN devices on loopback, for tests, demos and training.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "link/common/command_line.h"
#include "link/common/data_folders.h"
#include "link/common/stop_signals.h"
#include "tarn-sim/fleet_config.h"
#include "tarn-sim/sim_fleet.h"

namespace {

// SIGTERM, SIGINT and SIGHUP end the event loop, so the fleet is destroyed normally: sockets close
// and pseudo-terminals go away. The simulator also ends with the program that started it, even
// when that program was killed.
bool stopOnSignals(pid_t parent) {
    if (!tarn::deliverStopSignals({SIGTERM, SIGINT, SIGHUP}, QCoreApplication::instance(),
                                  [](int) { QCoreApplication::quit(); }))
        return false;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died before the request above took effect.
    if (::getppid() != parent) ::raise(SIGTERM);
    return true;
}

// The fleet needs a handful of sockets whatever its size, but each pseudo-terminal takes two files and
// each open I/O connection one: the soft limit is raised as far as the hard one allows.
void raiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

QString helpText() {
    return QStringLiteral(
               "Usage: tarn-sim --fleet FILE [OPTION]...\n"
               "Run a simulated fleet of TARN remote I/O devices on loopback, for demos,\n"
               "training and tests. Each device answers discovery and management datagrams\n"
               "at its own 127.0.0.N address and serves its I/O link over TCP or a\n"
               "pseudo-terminal. When ready, the simulator prints \"ready port N\".\n"
               "\n"
               "Options:\n"
               "      --fleet FILE              fleet file (JSON) describing the devices, at\n"
               "                                most 16 MiB\n"
               "      --device-port N           management port of every device (default 2002);\n"
               "                                0 lets the system choose\n"
               "      --listen-broadcast ADDR   address on which broadcasts are received\n"
               "                                (default 127.255.255.255)\n"
               "      --data-dir DIR            read prodid.ini and the .dcf files from DIR\n"
               "      --fixed-clock             the devices' up times stand still and their I/O\n"
               "                                ports do not move, so that two reads of a device\n"
               "                                give the same values\n"
               "  -h, --help                    display this help and exit\n"
               "      --version                 output version information and exit\n"
               "\n"
               "The simulator ends on SIGTERM, SIGINT or SIGHUP, and with the program that\n"
               "started it.\n"
               "\n") +
           tarn::dataFoldersHelp();
}

}  // namespace

int main(int argc, char** argv) {
    const pid_t parent = ::getppid();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarn-sim"));
    QTextStream err(stderr);
    if (!stopOnSignals(parent)) {
        err << "tarn-sim: cannot set up the stop signals\n";
        return 2;
    }

    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"}), version("version"), fleetOption("fleet", {}, "file"),
        portOption("device-port", {}, "port", "2002"),
        listenOption("listen-broadcast", {}, "address", "127.255.255.255"), dataDirOption("data-dir", {}, "dir"),
        fixedClockOption("fixed-clock");
    parser.addOptions({help, version, fleetOption, portOption, listenOption, dataDirOption, fixedClockOption});
    const QString program = QStringLiteral("tarn-sim");
    if (!parser.parse(app.arguments())) return tarn::cli::badUsage(program, tarn::cli::parseError(parser));
    if (parser.isSet(help)) return tarn::cli::printHelp(helpText());
    if (parser.isSet(version)) return tarn::cli::printVersion(program);
    if (!parser.positionalArguments().isEmpty())
        return tarn::cli::badUsage(
            program, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (!parser.isSet(fleetOption)) return tarn::cli::badUsage(program, QStringLiteral("--fleet FILE is required"));
    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) return tarn::cli::badUsage(program, QStringLiteral("--device-port must be 0..65535"));
    QHostAddress listen;
    if (!listen.setAddress(parser.value(listenOption)))
        return tarn::cli::badUsage(program, QStringLiteral("--listen-broadcast must be an IPv4 address"));
    QString error;
    auto config = tarnsim::loadFleet(parser.value(fleetOption), &error);
    if (!config) {
        err << "tarn-sim: " << error << '\n';
        return 2;
    }
    config->fixedClock = parser.isSet(fixedClockOption);
    raiseOpenFileLimit();
    tarnsim::SimFleet fleet(std::move(*config));
    fleet.setDataDir(tarn::dataFolder(parser.value(dataDirOption)));
    if (!fleet.start(static_cast<quint16>(port), listen, &error)) {
        err << "tarn-sim: " << error << '\n';
        return 2;
    }
    for (const QString& warning : fleet.warnings()) err << "tarn-sim: warning: " << warning << '\n';
    QObject::connect(&fleet, &tarnsim::SimFleet::warning,
                     [&err](const QString& text) { err << "tarn-sim: warning: " << text << Qt::endl; });
    err.flush();
    QTextStream out(stdout);
    for (const auto& d : fleet.devices())
        out << "device " << d->config().address << ' ' << QString::fromStdString(d->config().name) << '\n';
    for (const auto& io : fleet.ioDevices()) {
        out << "io " << io->address().toString() << ':' << io->port() << ' ' << io->name() << '\n';
        if (!io->ptyPath().isEmpty()) out << "pty " << io->ptyPath() << ' ' << io->name() << '\n';
    }
    out << "ready port " << fleet.devicePort() << Qt::endl;
    return app.exec();
}
