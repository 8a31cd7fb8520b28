// tarn-sim: a simulated fleet of TARN devices on loopback, for tests, demos and training.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/sim_fleet.h"

namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end the event loop, so the fleet is destroyed normally: sockets close
// and pseudo-terminals go away. The simulator also ends with the program that started it, even
// when that program was killed.
bool stopOnSignals(pid_t parent) {
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died before the request above took effect.
    if (::getppid() != parent) onStopSignal(SIGTERM);
    return true;
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
    parser.setApplicationDescription(QStringLiteral("Simulated fleet of TARN devices (see docs/simulator.md)."));
    parser.addHelpOption();
    parser.addOption({"fleet", "Fleet file (JSON).", "file"});
    parser.addOption({"device-port", "Management port of every device; 0 lets the system choose.", "port", "2002"});
    parser.addOption({"listen-broadcast", "Address on which broadcasts are received.", "address", "127.255.255.255"});
    parser.addOption({"data-dir", "Folder of prodid.ini and the .dcf files (default: the program's folder).", "dir",
                      QCoreApplication::applicationDirPath()});
    parser.process(app);

    if (!parser.isSet("fleet")) {
        err << "tarn-sim: --fleet FILE is required\n";
        return 2;
    }
    bool ok = false;
    const uint port = parser.value("device-port").toUInt(&ok);
    if (!ok || port > 65535) {
        err << "tarn-sim: --device-port must be 0..65535\n";
        return 2;
    }
    QHostAddress listen;
    if (!listen.setAddress(parser.value("listen-broadcast"))) {
        err << "tarn-sim: --listen-broadcast must be an IPv4 address\n";
        return 2;
    }
    QString error;
    auto config = tarnsim::loadFleet(parser.value("fleet"), &error);
    if (!config) {
        err << "tarn-sim: " << error << '\n';
        return 2;
    }
    tarnsim::SimFleet fleet(std::move(*config));
    fleet.setDataDir(parser.value("data-dir"));
    if (!fleet.start(static_cast<quint16>(port), listen, &error)) {
        err << "tarn-sim: " << error << '\n';
        return 2;
    }
    for (const QString& warning : fleet.warnings()) err << "tarn-sim: warning: " << warning << '\n';
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
