#include "tarnctl/options.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/discovery/addressing.h"
#include "core/manage/credential_log.h"
#include "core/params/product_table.h"
#include "link/common/data_folders.h"
#include "link/common/qt_bytes.h"
#include "tarnctl/commands.h"

namespace tarnctl {

namespace {

// How long a fleet's device has to answer, as in the window.
constexpr int kFleetReplyWaitMs = 3000;
constexpr int kMaxWaitMs = 600000;

bool bad(const QString& message) {
    usageError(message);
    return false;
}

std::nullopt_t refused(const QString& message) {
    usageError(message);
    return std::nullopt;
}

}  // namespace

QCommandLineOption option(Option which) {
    switch (which) {
        case Option::Address:
            return {"address", "The device's IPv4 address (or --mac).", "ip"};
        case Option::AddressList:
            return {"address",
                    "Probe these addresses only, by unicast (Quick Connect): addresses, ranges such as "
                    "10.1.2.10-10.1.2.50 and blocks such as 10.1.2.0/24, separated by commas.",
                    "list"};
        case Option::Mac:
            return {"mac", "Find the device by its MAC with a broadcast probe (or --address).", "mac"};
        case Option::MacSelect:
            return {"mac", "Only this device (repeatable).", "mac"};
        case Option::Broadcast:
            return {"broadcast", "Broadcast address of the probe (with --mac).", "address", "255.255.255.255"};
        case Option::ProbeBroadcast:
            return {"broadcast", "Broadcast address of the probe.", "address", "255.255.255.255"};
        case Option::AllInterfaces:
            return {"all-interfaces", "With --mac: probe every network interface."};
        case Option::ProbeAllInterfaces:
            return {"all-interfaces", "Also probe the broadcast address of every network interface."};
        case Option::DevicePort:
            return {"device-port", "UDP port of the devices.", "port", "2002"};
        case Option::DataDir:
            return {"data-dir", "Folder of prodid.ini, the .dcf files and pwd.ini.", "dir"};
        case Option::Id:
            return {"id", "Device ID (instead of the one in pwd.ini).", "id"};
        case Option::Password:
            return {"password",
                    "Device password (instead of the one in pwd.ini). Every user can read it in ps: prefer "
                    "--password-file or TARNCTL_PASSWORD.",
                    "password"};
        case Option::PasswordFile:
            return {"password-file", "Read the device password from the first line of FILE ('-': standard input).",
                    "file"};
        case Option::FleetId:
            return {"id", "Device ID for the devices pwd.ini does not know.", "id"};
        case Option::FleetPassword:
            return {"password",
                    "Device password for the devices pwd.ini does not know. Every user can read it in ps: prefer "
                    "--password-file or TARNCTL_PASSWORD.",
                    "password"};
        case Option::FleetPasswordFile:
            return {"password-file",
                    "Read the password for the devices pwd.ini does not know from the first line of FILE ('-': "
                    "standard input).",
                    "file"};
        case Option::Wait:
            return {"wait", "How long to wait for the device, in milliseconds.", "ms", "2000"};
        case Option::ProbeWait:
            return {"wait", "How long the probe collects replies, in milliseconds.", "ms", "1000"};
        case Option::MaxDevices:
            return {"max-devices",
                    "Keep at most this many devices; replies past it are counted and told on standard error.", "n",
                    QString::number(tarn::kDefaultMaxDevices)};
        case Option::Product:
            return {"product", "Only devices of this product (name or id).", "name"};
        case Option::Version:
            return {"version", "Only devices of this firmware version.", "x.y"};
        case Option::Name:
            return {"name", "Only devices whose name matches (* and ?).", "glob"};
        case Option::Spacing:
            return {"spacing", "Milliseconds between the start of consecutive devices.", "ms", "100"};
        case Option::Json:
            return {"json", "Print JSON (docs/json.md)."};
        case Option::FleetJson:
            return {"json", "Print the index as JSON instead of one line per device."};
        case Option::Group:
            return {"group", "Show this entry of the group box (0: All classes).", "n", "0"};
        case Option::ShowPasswords:
            return {"show-passwords", "Print the device's own password instead of dots."};
        case Option::Apply:
            return {"apply", "Set the values the file changes."};
        case Option::Only:
            return {"only", "Only these rows (names or ids, comma-separated).", "rows"};
        case Option::DryRun:
            return {"dry-run", "Show per device the rows that would change; send nothing."};
        case Option::Reboot:
            return {"reboot", "Reboot each device that took the set."};
        case Option::Values:
            return {"values", "The site table: per device (MAC) the values of its rows.", "file"};
        case Option::Csv:
            return {"csv", "Write the table as CSV (the one format)."};
        case Option::IoHost:
            return {"host", "The device's address (TCP).", "host"};
        case Option::IoPort:
            return {"port", "The device's I/O port (TCP), its \"Local port\" parameter.", "port"};
        case Option::Serial:
            return {"serial", "The serial line instead of TCP, e.g. /dev/ttyUSB0.", "path"};
        case Option::Baud:
            return {"baud", "Baud rate of the serial line.", "n", "9600"};
        case Option::Parity:
            return {"parity", "Parity of the serial line: n, e or o.", "p", "n"};
        case Option::DataBits:
            return {"data-bits", "Data bits of the serial line: 7 or 8.", "n", "8"};
        case Option::StopBits:
            return {"stop-bits", "Stop bits of the serial line: 1 or 2.", "n", "1"};
        case Option::WatchCsv:
            return {"csv", "watch: one CSV line per poll, after a heading."};
        case Option::Interval:
            return {"interval", "watch: seconds between polls (0.1 to 86400).", "s", "2"};
        case Option::Count:
            return {"count", "watch: stop after this many polls.", "n"};
        case Option::EnableDisable:
            return {{"enable", "disable"}, "output, input: enable or disable the port."};
        case Option::Macro:
            return {"macro", "output: the port's macro.", "expr"};
        case Option::NoMacro:
            return {"no-macro", "output: remove the macro."};
        case Option::DelayOn:
            return {"delay-on", "output: switch on after this time.", "t"};
        case Option::DelayOff:
            return {"delay-off", "output: switch off after this time.", "t"};
        case Option::Pulse:
            return {"pulse", "output: pulse, ON time then OFF time (two values)."};
        case Option::NoDelayPulse:
            return {"no-delay-pulse", "output: no delay and no pulse."};
        case Option::PowerRecovery:
            return {"power-recovery", "output: on or off.", "on|off"};
        case Option::Level:
            return {"level", "adc: the port reports its level."};
        case Option::Switch:
            return {"switch", "adc: the port switches at this level.", "level"};
        case Option::Reference:
            return {"reference", "adc: the reference, avcc, inside or outside.", "ref"};
    }
    return {"?", ""};
}

QList<QCommandLineOption> ioSubcommandOptions(const QString& subcommand) {
    if (subcommand == "watch") return options({Option::Json, Option::WatchCsv, Option::Interval, Option::Count});
    if (subcommand == "output")
        return options({Option::Json, Option::EnableDisable, Option::Macro, Option::NoMacro, Option::DelayOn,
                        Option::DelayOff, Option::Pulse, Option::NoDelayPulse, Option::PowerRecovery});
    if (subcommand == "input") return options({Option::Json, Option::EnableDisable});
    if (subcommand == "adc") return options({Option::Json, Option::Level, Option::Switch, Option::Reference});
    return options({Option::Json});
}

QList<QCommandLineOption> ioOptions() {
    QList<QCommandLineOption> all = options({Option::IoHost, Option::IoPort, Option::Serial, Option::Baud,
                                             Option::Parity, Option::DataBits, Option::StopBits});
    for (const char* subcommand : {"watch", "output", "adc"})
        for (const QCommandLineOption& o : ioSubcommandOptions(QString::fromLatin1(subcommand)))
            if (std::none_of(all.begin(), all.end(),
                             [&](const QCommandLineOption& a) { return a.names() == o.names(); }))
                all << o;
    return all;
}

QList<QCommandLineOption> options(std::initializer_list<Option> which) {
    QList<QCommandLineOption> list;
    for (Option o : which) list << option(o);
    return list;
}

QList<QCommandLineOption> deviceOptions() {
    return options({Option::Address, Option::Mac, Option::Broadcast, Option::AllInterfaces, Option::DevicePort,
                    Option::DataDir, Option::Id, Option::Password, Option::PasswordFile, Option::Wait});
}

QList<QCommandLineOption> fleetOptions() {
    return options({Option::ProbeBroadcast, Option::ProbeAllInterfaces, Option::DevicePort, Option::ProbeWait,
                    Option::MaxDevices, Option::DataDir, Option::Product, Option::Version, Option::Name,
                    Option::MacSelect, Option::FleetId, Option::FleetPassword, Option::FleetPasswordFile,
                    Option::Spacing, Option::FleetJson});
}

namespace {

bool readBroadcast(const QCommandLineParser& p, QHostAddress& broadcast) {
    const auto address = tarn::parseIPv4(p.value("broadcast").toStdString());
    if (!address)
        return bad(QStringLiteral("--broadcast must be a dotted IPv4 address, not '%1'").arg(p.value("broadcast")));
    broadcast = QHostAddress(*address);
    return true;
}

bool readDevicePort(const QCommandLineParser& p, quint16& port) {
    bool ok = false;
    const uint value = p.value("device-port").toUInt(&ok);
    if (!ok || value == 0 || value > 65535) return bad(QStringLiteral("--device-port must be 1..65535"));
    port = static_cast<quint16>(value);
    return true;
}

bool readMilliseconds(const QCommandLineParser& p, const QString& name, int& ms) {
    bool ok = false;
    ms = p.value(name).toInt(&ok);
    if (!ok || ms < 0 || ms > kMaxWaitMs) return bad(QStringLiteral("--%1 must be 0..600000 ms").arg(name));
    return true;
}

// The first line of a file ("-": standard input) without its line end, as sshpass -f reads it; none
// when the file cannot be read.
std::optional<QString> readFirstLine(const QString& path) {
    QFile file(path);
    const bool open =
        path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!open) return std::nullopt;
    // A password has at most 255 bytes; a longer line is refused by the length check all the same.
    QByteArray line = file.readLine(1024);
    if (line.isEmpty() && file.error() != QFileDevice::NoError) return std::nullopt;
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    return QString::fromLocal8Bit(line);
}

// The password of --password, --password-file or TARNCTL_PASSWORD (in that order; the environment only
// when neither option is given): none when none is given, nullopt after the message of a bad one.
std::optional<std::optional<QString>> readPassword(const QCommandLineParser& p) {
    if (p.isSet("password") && p.isSet("password-file"))
        return refused(QStringLiteral("give either --password or --password-file"));
    if (p.isSet("password")) return std::optional<QString>(p.value("password"));
    if (p.isSet("password-file")) {
        const QString path = p.value("password-file");
        const auto line = readFirstLine(path);
        if (!line) return refused(QStringLiteral("--password-file: cannot read '%1'").arg(path));
        return std::optional<QString>(*line);
    }
    if (p.isSet("id") && qEnvironmentVariableIsSet("TARNCTL_PASSWORD"))
        return std::optional<QString>(qEnvironmentVariable("TARNCTL_PASSWORD"));
    return std::optional<QString>();
}

}  // namespace

std::optional<DeviceOptions> readDeviceOptions(const QCommandLineParser& p, int& exitCode) {
    exitCode = kExitUsage;
    DeviceOptions o;
    if (p.isSet("address") == p.isSet("mac")) return refused(QStringLiteral("give either --address IP or --mac MAC"));
    if (p.isSet("address")) {
        o.address = p.value("address");
        if (!tarn::parseIPv4(o.address.toStdString()))
            return refused(QStringLiteral("--address must be a dotted IPv4 address, not '%1'").arg(o.address));
    } else {
        o.mac = p.value("mac");
        if (!tarn::parseMacText(o.mac.toStdString()))
            return refused(QStringLiteral("--mac must be six hexadecimal pairs separated by ':', not '%1'").arg(o.mac));
        if (!readBroadcast(p, o.broadcast)) return std::nullopt;
        o.allInterfaces = p.isSet("all-interfaces");
    }
    if (p.isSet("address") && (p.isSet("all-interfaces") || p.isSet("broadcast")))
        return refused(QStringLiteral("--broadcast and --all-interfaces go with --mac"));
    if (!readMilliseconds(p, "wait", o.waitMs) || !readSharedDeviceOptions(p, o)) return std::nullopt;
    exitCode = kExitOk;
    return o;
}

bool readSharedDeviceOptions(const QCommandLineParser& p, DeviceOptions& o) {
    if (!readDevicePort(p, o.devicePort)) return false;
    const auto password = readPassword(p);
    if (!password) return false;
    if (p.isSet("id") != password->has_value())
        return bad(QStringLiteral("--id goes with --password, --password-file or TARNCTL_PASSWORD"));
    if (p.isSet("id")) {
        o.credentials = tarn::Credentials{tarn::latin1Bytes(p.value("id")), tarn::latin1Bytes(**password)};
        const auto limit = static_cast<std::size_t>(tarn::kMaxCredentialLength);
        if (o.credentials->id.size() > limit || o.credentials->password.size() > limit)
            return bad(QStringLiteral("--id and --password can each be at most 255 characters long"));
        // Credentials a device takes are logged in pwd.ini: refused here, before anything is sent,
        // when the log could not give them back.
        if (const auto problem = tarn::credentialTextProblem(o.credentials->id))
            return bad(QStringLiteral("--id: pwd.ini could not keep it: %1").arg(tarn::latin1(*problem)));
        if (const auto problem = tarn::credentialTextProblem(o.credentials->password))
            return bad(QStringLiteral("--password: pwd.ini could not keep it: %1").arg(tarn::latin1(*problem)));
    }
    return readDataDir(p, o);
}

bool readDataDir(const QCommandLineParser& p, DeviceOptions& o) {
    if (p.isSet("data-dir") && !QFileInfo(p.value("data-dir")).isDir())
        return bad(QStringLiteral("--data-dir '%1' is not a folder").arg(p.value("data-dir")));
    const tarn::DataFolders folders = tarn::dataFolders(p.value("data-dir"));
    o.dataDir = folders.data;
    o.logDir = folders.writable;
    return true;
}

bool readDiscoveryOptions(const QCommandLineParser& p, ProbeRequest& probe) {
    if (!readDevicePort(p, probe.devicePort) || !readMilliseconds(p, "wait", probe.waitMs)) return false;
    if (!readBroadcast(p, probe.broadcast)) return false;
    probe.allInterfaces = p.isSet("all-interfaces");
    bool ok = false;
    probe.maxDevices = p.value("max-devices").toInt(&ok);
    if (!ok || probe.maxDevices < 1 || probe.maxDevices > tarn::kMaxMaxDevices)
        return bad(QStringLiteral("--max-devices must be 1..%1").arg(tarn::kMaxMaxDevices));
    return true;
}

std::optional<FleetOptions> readFleetOptions(const QCommandLineParser& p) {
    FleetOptions o;
    if (!readSharedDeviceOptions(p, o.device) || !readDiscoveryOptions(p, o.probe)) return std::nullopt;
    o.device.waitMs = kFleetReplyWaitMs;
    o.device.broadcast = o.probe.broadcast;
    o.probe.everyDevice = true;  // the selection tells two devices with one MAC from one device
    if (!readMilliseconds(p, "spacing", o.spacingMs)) return std::nullopt;
    o.filter.product = p.value("product").toLatin1().toStdString();
    o.filter.version = p.value("version").toStdString();
    o.filter.nameGlob = p.value("name").toLatin1().toStdString();
    for (const QString& mac : p.values("mac")) o.filter.macs.push_back(mac.toStdString());
    if (const auto problem = tarn::checkFleetFilter(o.filter)) return refused(tarn::latin1(*problem));
    o.json = p.isSet("json");
    o.device.definitions = std::make_shared<tarn::DefinitionStore>();
    o.device.credentialStore = std::make_shared<tarn::CredentialStore>(
        QDir(o.device.logDir).filePath(QString::fromLatin1(tarn::kCredentialLogFileName)).toStdString());
    return o;
}

tarn::ProductNames productNames(const QString& dataDir) {
    auto table = std::make_shared<tarn::ProductTable>();
    // Without the table, devices are named by their product ids; nothing is said about it.
    table->LoadProductTable(dataDir.toStdString() + "/" + tarn::kProductTableFileName);
    return [table](const std::string& id) {
        const int i = table->FindProductId(id);
        return i < 0 ? std::string() : table->entries()[static_cast<std::size_t>(i)].name;
    };
}

}  // namespace tarnctl
