// tarnctl's options, declared and read in one place: the device options of the commands that talk to
// one device, the discovery options of probe and the fleet commands, the fleet's selection, and the
// options of each command. The --help of every command is made from the same declarations.
#pragma once

#include <memory>
#include <optional>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/fleet/fleet_selection.h"
#include "core/manage/management_session.h"
#include "tarnctl/probe.h"

namespace tarnctl {

// Every option a command has, by name; each is declared once (options.cpp).
enum class Option {
    Address,         // --address IP: the one device
    AddressList,     // --address LIST: probe these addresses (probe)
    Mac,             // --mac MAC: find the one device by its MAC
    MacSelect,       // --mac MAC...: choose these devices (fleet)
    Broadcast,       // --broadcast ADDR with --mac
    ProbeBroadcast,  // --broadcast ADDR of a probe
    AllInterfaces,   // with --mac
    ProbeAllInterfaces,
    DevicePort,
    DataDir,
    Id,
    Password,
    PasswordFile,
    FleetId,  // --id for the devices pwd.ini does not know
    FleetPassword,
    FleetPasswordFile,
    Wait,       // how long to wait for the device
    ProbeWait,  // how long the probe collects replies
    MaxDevices,
    Product,
    Version,
    Name,
    Spacing,
    Json,
    FleetJson,
    Group,
    ShowPasswords,
    Apply,
    Only,
    DryRun,
    Reboot,
    Values,
    Csv,
    // io: the link
    IoHost,
    IoPort,
    Serial,
    Baud,
    Parity,
    DataBits,
    StopBits,
    // io: the subcommands' own
    WatchCsv,
    Interval,
    Count,
    EnableDisable,  // --enable and --disable
    Macro,
    NoMacro,
    DelayOn,
    DelayOff,
    Pulse,  // two values: ON OFF
    NoDelayPulse,
    PowerRecovery,
    Level,
    Switch,
    Reference,
};

QCommandLineOption option(Option which);
QList<QCommandLineOption> options(std::initializer_list<Option> which);
// The options of a command that talks to one device (params, reboot, cnf).
QList<QCommandLineOption> deviceOptions();
// The options of a fleet command: discovery, selection, credentials, spacing, --json.
QList<QCommandLineOption> fleetOptions();
// Every option of io: the link's, then those of the subcommands (ioSubcommandOptions).
QList<QCommandLineOption> ioOptions();
// The options an io subcommand takes besides the link's ("output": --enable, --macro, ...).
QList<QCommandLineOption> ioSubcommandOptions(const QString& subcommand);

struct DeviceOptions {
    QString address;  // --address: Quick Connect to this address
    QString mac;      // --mac: the device with this MAC among those answering a broadcast probe
    QHostAddress broadcast{QHostAddress::Broadcast};
    bool allInterfaces = false;
    quint16 devicePort = 2002;
    QString dataDir;  // prodid.ini and the .dcf files
    QString logDir;   // pwd.ini
    std::optional<tarn::Credentials> credentials;
    int waitMs = 2000;
    // Definition sets shared by the sessions of one run (a fleet); none: each session has its own.
    std::shared_ptr<tarn::DefinitionStore> definitions;
    // pwd.ini shared by the sessions of one run (a fleet), which writes it; none: each session its own.
    std::shared_ptr<tarn::CredentialStore> credentialStore;
};

struct FleetOptions {
    DeviceOptions device;
    ProbeRequest probe;
    tarn::FleetFilter filter;
    int spacingMs = 100;
    bool json = false;
    // The lines go to the error output (standard output carries what the command writes).
    bool linesOnStderr = false;
    // --show-passwords: a dry run shows the device's own password instead of dots.
    bool showPasswords = false;
};

// Each reader prints the message of a bad option (then returns nothing or false).
// --address or --mac (with --broadcast, --all-interfaces), and the shared ones; exitCode is 2 then.
std::optional<DeviceOptions> readDeviceOptions(const QCommandLineParser& p, int& exitCode);
// --device-port, --data-dir, --id with --password.
bool readSharedDeviceOptions(const QCommandLineParser& p, DeviceOptions& o);
// --data-dir: the data folder and the folder of pwd.ini.
bool readDataDir(const QCommandLineParser& p, DeviceOptions& o);
// --broadcast, --all-interfaces, --device-port and --wait of a probe.
bool readDiscoveryOptions(const QCommandLineParser& p, ProbeRequest& probe);
std::optional<FleetOptions> readFleetOptions(const QCommandLineParser& p);

// The products' names from prodid.ini of the data folder (a product id without one: no name).
tarn::ProductNames productNames(const QString& dataDir);

}  // namespace tarnctl
