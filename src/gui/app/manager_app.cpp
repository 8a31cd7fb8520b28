#include "gui/app/manager_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QTextStream>

#include "core/discovery/addressing.h"
#include "gui/app/demo_fleet.h"
#include "gui/app/main_frame.h"
#include "link/common/data_folders.h"

namespace tarn {

namespace {

int usageError(const QString& message) {
    QTextStream(stderr) << "tarn-manager: " << message << '\n';
    return 2;
}

}  // namespace

int runManagerApp(QApplication& app) {
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("manager"));
    // No application display name: Qt would append it to every window and message-box caption, and
    // the captions ("Error", "Input IP", "  TARN Manager") are exactly the product's own.

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("TARN Manager: discover, configure and monitor TARN devices."));
    parser.addHelpOption();
    parser.addOption({"data-dir", "Folder of the .dcf files, prodid.ini, help and the written files.", "dir"});
    parser.addOption({"device-port", "UDP port of the devices (default 2002).", "port"});
    parser.addOption({"broadcast", "Address the discovery probe is broadcast to (default 255.255.255.255).", "address"});
    parser.addOption({"demo", "Start a simulated fleet on loopback and probe it."});
    parser.addOption({"fleet", "Fleet file for the demo (default: demo-fleet.json in the data folder).", "file"});
    parser.process(app);

    FrameState state;
    state.dataDir = parser.isSet("data-dir") ? QDir(parser.value("data-dir")).absolutePath()
                                             : QCoreApplication::applicationDirPath();
    state.writableDir = parser.isSet("data-dir") ? state.dataDir : writableFolderFor(state.dataDir);
    if (parser.isSet("device-port")) {
        bool ok = false;
        const uint port = parser.value("device-port").toUInt(&ok);
        if (!ok || port == 0 || port > 65535) return usageError(QStringLiteral("--device-port must be 1..65535"));
        state.devicePort = static_cast<quint16>(port);
    }
    if (parser.isSet("broadcast")) {
        const auto address = parseIPv4(parser.value("broadcast").toStdString());
        if (!address) return usageError(QStringLiteral("--broadcast must be a dotted IPv4 address"));
        state.broadcastAddress = QHostAddress(*address);
    }

    // The start-up folder is recorded in the settings, as the product always has.
    QSettings settings;
    settings.setValue(QStringLiteral("manager/path"), QDir::currentPath().left(200));

    CMainFrame frame(state);
    std::unique_ptr<DemoFleet> demo;
    if (parser.isSet("demo") || parser.isSet("fleet")) {
        const QString fleet = parser.isSet("fleet") ? parser.value("fleet")
                                                    : QDir(state.dataDir).filePath(QStringLiteral("demo-fleet.json"));
        demo = std::make_unique<DemoFleet>(frame, fleet);
        demo->start();
    }
    frame.resize(1100, 700);
    frame.showMaximized();
    return app.exec();
}

}  // namespace tarn
