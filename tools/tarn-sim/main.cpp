// tarn-sim: a simulated fleet of TARN devices on loopback, for tests, demos and training.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/sim_fleet.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarn-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated fleet of TARN devices (see docs/simulator.md)."));
    parser.addHelpOption();
    parser.addOption({"fleet", "Fleet file (JSON).", "file"});
    parser.addOption({"device-port", "Management port of every device; 0 lets the system choose.", "port", "2002"});
    parser.addOption({"listen-broadcast", "Address on which broadcasts are received.", "address", "127.255.255.255"});
    parser.process(app);

    QTextStream err(stderr);
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
    if (!fleet.start(static_cast<quint16>(port), listen, &error)) {
        err << "tarn-sim: " << error << '\n';
        return 2;
    }
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
