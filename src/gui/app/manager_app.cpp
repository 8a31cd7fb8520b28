#include "gui/app/manager_app.h"

#include <algorithm>
#include <iterator>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QTimer>

#include "core/discovery/addressing.h"
#include "gui/app/demo_fleet.h"
#include "gui/app/main_frame.h"
#include "gui/app/window_layout.h"
#include "link/common/command_line.h"
#include "link/common/data_folders.h"

namespace tarn {

namespace {

const QString kProgram = QStringLiteral("tarn-manager");
const QString kProbeAllInterfacesKey = QStringLiteral("Options/ProbeEveryNetworkInterface");
const QString kMaxDevicesKey = QStringLiteral("Options/MaxDevices");
const QString kAddressBookKey = QStringLiteral("QuickConnect/AddressBook");

QString helpText() {
    return QStringLiteral(
               "Usage: tarn-manager [OPTION]...\n"
               "Discover, configure and monitor the TARN remote I/O devices on the local network.\n"
               "\n"
               "Options:\n"
               "      --data-dir DIR     read the .dcf files, prodid.ini and help from DIR, and\n"
               "                         write pwd.ini and MonInter.dat there\n"
               "      --device-port N    UDP port of the devices (default 2002)\n"
               "      --broadcast ADDR   address the discovery probe is broadcast to\n"
               "                         (default 255.255.255.255)\n"
               "      --demo             start a simulated fleet on loopback and probe it\n"
               "      --fleet FILE       fleet file of the demo (default: demo-fleet.json in the\n"
               "                         data folder); implies --demo\n"
               "      --quit-after MS    close the window after MS milliseconds (start-up checks)\n"
               "      --reset-layout     forget the window's remembered size, docks, columns,\n"
               "                         link mode and folders, and start with the defaults\n"
               "  -h, --help             display this help and exit\n"
               "      --version          output version information and exit\n"
               "\n"
               "Qt's own options, such as -platform and -style, are accepted too.\n"
               "\n") +
           dataFoldersHelp();
}

// Qt's options are read by QApplication itself, later; the ones that take a value also take the
// next argument. Qt accepts them with one dash or two.
bool isQtOption(const QString& arg, bool* takesNext) {
    static const char* const withValue[] = {"platform",        "platformpluginpath", "platformtheme", "plugin",
                                            "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
                                            "display",         "geometry",           "title",         "name",
                                            "style",           "stylesheet"};
    static const char* const flags[] = {"reverse", "nograb", "dograb", "widgetcount", "sync"};
    if (!arg.startsWith('-')) return false;
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const bool inlineValue = name.contains('=');
    name = name.section('=', 0, 0);
    const auto is = [&](const char* n) { return name == QLatin1String(n); };
    if (std::any_of(std::begin(withValue), std::end(withValue), is)) {
        *takesNext = !inlineValue;
        return true;
    }
    *takesNext = false;
    return !inlineValue && std::any_of(std::begin(flags), std::end(flags), is);
}

}  // namespace

ManagerCommandLine readManagerCommandLine(int argc, char** argv) {
    ManagerCommandLine out;
    QStringList args{kProgram};
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        bool takesNext = false;
        if (isQtOption(arg, &takesNext)) {
            if (takesNext) ++i;
            continue;
        }
        args << arg;
    }

    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"}), version("version"), dataDir("data-dir", {}, "dir"),
        devicePort("device-port", {}, "port"), broadcast("broadcast", {}, "address"), demo("demo"),
        fleet("fleet", {}, "file"), quitAfter("quit-after", {}, "ms"), resetLayout("reset-layout");
    parser.addOptions({help, version, dataDir, devicePort, broadcast, demo, fleet, quitAfter, resetLayout});
    if (!parser.parse(args)) {
        out.exitNow = cli::badUsage(kProgram, cli::parseError(parser));
        return out;
    }
    if (parser.isSet(help)) {
        out.exitNow = cli::printHelp(helpText());
        return out;
    }
    if (parser.isSet(version)) {
        out.exitNow = cli::printVersion(kProgram);
        return out;
    }
    if (!parser.positionalArguments().isEmpty()) {
        out.exitNow = cli::badUsage(
            kProgram, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
        return out;
    }
    out.dataDir = parser.value(dataDir);
    bool ok = false;
    if (parser.isSet(devicePort)) {
        const uint port = parser.value(devicePort).toUInt(&ok);
        if (!ok || port == 0 || port > 65535) {
            out.exitNow = cli::badUsage(kProgram, QStringLiteral("--device-port must be 1..65535"));
            return out;
        }
        out.devicePort = static_cast<quint16>(port);
    }
    if (parser.isSet(broadcast)) {
        const auto address = parseIPv4(parser.value(broadcast).toStdString());
        if (!address) {
            out.exitNow = cli::badUsage(kProgram, QStringLiteral("--broadcast must be a dotted IPv4 address"));
            return out;
        }
        out.broadcast = QHostAddress(*address);
    }
    if (parser.isSet(quitAfter)) {
        out.quitAfterMs = parser.value(quitAfter).toInt(&ok);
        if (!ok || out.quitAfterMs < 0) {
            out.exitNow = cli::badUsage(kProgram, QStringLiteral("--quit-after takes milliseconds"));
            return out;
        }
    }
    out.resetLayout = parser.isSet(resetLayout);
    out.demo = parser.isSet(demo) || parser.isSet(fleet);
    out.fleet = parser.value(fleet);
    return out;
}

int runManagerApp(QApplication& app, const ManagerCommandLine& options) {
    // Named so that anything using Qt's default places finds TARN Manager's own folder.
    QCoreApplication::setOrganizationName(kProgram);
    QCoreApplication::setApplicationName(kProgram);
    QCoreApplication::setApplicationVersion(cli::version());
    // No application display name: Qt would append it to every window and message-box caption, and
    // the captions ("Error", "Input IP", "  TARN Manager") are exactly the product's own.
    // The desktop entry this window belongs to, for the task bar's icon and grouping.
    QGuiApplication::setDesktopFileName(QStringLiteral("tarn-manager"));

    const DataFolders folders = dataFolders(options.dataDir);
    FrameState state;
    state.dataDir = folders.data;
    state.writableDir = folders.writable;
    if (options.devicePort) state.devicePort = *options.devicePort;
    if (options.broadcast) state.broadcastAddress = *options.broadcast;

    // The start-up folder is recorded in the settings, as the product always has.
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("manager/path"), QDir::currentPath().left(200));
    state.probeAllInterfaces = settings.value(kProbeAllInterfacesKey, false).toBool();
    state.quickConnectBook = settings.value(kAddressBookKey).toStringList();
    state.maxDevices = std::clamp(settings.value(kMaxDevicesKey, kDefaultMaxDevices).toInt(), 1, kMaxMaxDevices);

    CMainFrame frame(state);
    QObject::connect(&frame, &CMainFrame::probeAllInterfacesChanged, [](bool on) {
        QSettings(settingsFile(), QSettings::IniFormat).setValue(kProbeAllInterfacesKey, on);
    });
    QObject::connect(&frame, &CMainFrame::maxDevicesChanged,
                     [](int n) { QSettings(settingsFile(), QSettings::IniFormat).setValue(kMaxDevicesKey, n); });
    QObject::connect(&frame, &CMainFrame::quickConnectBookChanged, [](const QStringList& book) {
        QSettings(settingsFile(), QSettings::IniFormat).setValue(kAddressBookKey, book);
    });
    std::unique_ptr<DemoFleet> demo;
    if (options.demo) {
        const QString fleet =
            !options.fleet.isEmpty() ? options.fleet : QDir(state.dataDir).filePath(QStringLiteral("demo-fleet.json"));
        demo = std::make_unique<DemoFleet>(frame, fleet);
        demo->start();
    }
    if (options.resetLayout) clearWindowLayout(settings);
    frame.resize(1100, 700);
    if (restoreWindowLayout(frame, settings))
        frame.show();
    else
        frame.showMaximized();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&frame] {
        QSettings layout(settingsFile(), QSettings::IniFormat);
        saveWindowLayout(frame, layout);
    });
    if (options.quitAfterMs >= 0) QTimer::singleShot(options.quitAfterMs, &frame, &QWidget::close);
    return app.exec();
}

}  // namespace tarn
