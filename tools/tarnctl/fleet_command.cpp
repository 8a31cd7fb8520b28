// tarnctl fleet backup|apply: the parameters of many devices at once. A probe finds the devices,
// the selection options choose among them, and each chosen device then goes through a session of
// its own, one after the other, started --spacing ms apart: a backup reads it and writes its .CNF,
// an apply reads it, marks the rows of the file that differ and sets them. What happened to each
// device is one line of output and, for a backup, one entry of DIR/fleet.json.
#include <algorithm>
#include <csignal>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include "core/fleet/fleet_apply.h"
#include "core/fleet/fleet_index.h"
#include "core/fleet/fleet_selection.h"
#include "core/manage/configuration_commands.h"
#include "core/manage/credential_log.h"
#include "core/params/product_table.h"
#include "tarnctl/commands.h"
#include "tarnctl/device_session.h"
#include "tarnctl/probe.h"

namespace tarnctl {

namespace {

// How long a device has to answer, as in the window.
constexpr int kReplyWaitMs = 3000;

struct FleetOptions {
    DeviceOptions device;
    ProbeRequest probe;
    tarn::FleetFilter filter;
    int spacingMs = 100;
    bool json = false;
};

void addFleetOptions(QCommandLineParser& p) {
    p.addOption({"broadcast", "Broadcast address of the probe.", "address", "255.255.255.255"});
    p.addOption({"all-interfaces", "Also probe the broadcast address of every network interface."});
    p.addOption({"device-port", "UDP port of the devices.", "port", "2002"});
    p.addOption({"wait", "How long the probe collects replies, in milliseconds.", "ms", "1000"});
    p.addOption({"data-dir", "Folder of prodid.ini, the .dcf files and pwd.ini.", "dir"});
    p.addOption({"product", "Only devices of this product (name or id).", "name"});
    p.addOption({"version", "Only devices of this firmware version.", "x.y"});
    p.addOption({"name", "Only devices whose name matches (* and ?).", "glob"});
    p.addOption({"mac", "Only this device (repeatable).", "mac"});
    p.addOption({"id", "Device ID for the devices pwd.ini does not know.", "id"});
    p.addOption({"password", "Device password for the devices pwd.ini does not know.", "password"});
    p.addOption({"spacing", "Milliseconds between the start of consecutive devices.", "ms", "100"});
    p.addOption({"json", "Print the index as JSON instead of one line per device."});
}

std::optional<FleetOptions> readFleetOptions(const QCommandLineParser& p) {
    FleetOptions o;
    if (!readSharedDeviceOptions(p, o.device)) return std::nullopt;
    o.device.waitMs = kReplyWaitMs;
    const auto broadcast = tarn::parseIPv4(p.value("broadcast").toStdString());
    if (!broadcast) {
        usageError(QStringLiteral("--broadcast must be a dotted IPv4 address, not '%1'").arg(p.value("broadcast")));
        return std::nullopt;
    }
    o.device.broadcast = QHostAddress(*broadcast);
    o.probe.broadcast = o.device.broadcast;
    o.probe.devicePort = o.device.devicePort;
    o.probe.allInterfaces = p.isSet("all-interfaces");
    o.probe.everyDevice = true;  // the selection tells two devices with one MAC from one device
    bool ok = false;
    o.probe.waitMs = p.value("wait").toInt(&ok);
    if (!ok || o.probe.waitMs < 0 || o.probe.waitMs > 600000) {
        usageError(QStringLiteral("--wait must be 0..600000 ms"));
        return std::nullopt;
    }
    o.spacingMs = p.value("spacing").toInt(&ok);
    if (!ok || o.spacingMs < 0 || o.spacingMs > 600000) {
        usageError(QStringLiteral("--spacing must be 0..600000 ms"));
        return std::nullopt;
    }
    o.filter.product = p.value("product").toLatin1().toStdString();
    o.filter.version = p.value("version").toStdString();
    o.filter.nameGlob = p.value("name").toLatin1().toStdString();
    for (const QString& mac : p.values("mac")) o.filter.macs.push_back(mac.toStdString());
    if (const auto problem = tarn::checkFleetFilter(o.filter)) {
        usageError(latin1(*problem));
        return std::nullopt;
    }
    o.json = p.isSet("json");
    o.device.definitions = std::make_shared<tarn::DefinitionStore>();
    o.device.credentialStore = std::make_shared<tarn::CredentialStore>(
        QDir(o.device.logDir).filePath(QString::fromLatin1(tarn::kCredentialLogFileName)).toStdString());
    return o;
}

tarn::ProductNames productNames(const FleetOptions& o) {
    auto table = std::make_shared<tarn::ProductTable>();
    // Without the table the lines show product ids; the fleet commands say nothing about it.
    table->LoadProductTable(o.device.dataDir.toStdString() + "/" + tarn::kProductTableFileName);
    return [table](const std::string& id) {
        const int i = table->FindProductId(id);
        return i < 0 ? std::string() : table->entries()[static_cast<std::size_t>(i)].name;
    };
}

// Probes and selects; nothing (after the message, with the exit code) when the probe cannot be sent
// or the run selects nothing.
std::optional<tarn::FleetSelection> selectedDevices(const FleetOptions& o, const tarn::ProductNames& names,
                                                    int& exitCode) {
    exitCode = kExitUsage;
    const auto answered = probeDevices(o.probe);
    if (!answered) return std::nullopt;
    auto chosen = tarn::selectFleet(*answered, o.filter, names);
    if (chosen.empty()) {
        exitCode =
            fail(kExitDeviceFailure,
                 answered->empty()
                     ? QStringLiteral("no device answers the probe: nothing to do")
                     : QStringLiteral("none of the %1 devices that answered matches the selection: nothing to do")
                           .arg(answered->size()));
        return std::nullopt;
    }
    return chosen;
}

// SIGINT and SIGTERM end a fleet run after the device in flight: the handler only notes the signal,
// the run looks at it between devices.
volatile std::sig_atomic_t stopSignal = 0;

class StopSignals {
public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = [](int signal) { stopSignal = signal; };
        sigemptyset(&action.sa_mask);
        for (int s : {SIGINT, SIGTERM}) ::sigaction(s, &action, &saved_[s == SIGINT ? 0 : 1]);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &saved_[0], nullptr);
        ::sigaction(SIGTERM, &saved_[1], nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    static bool stopped() { return stopSignal != 0; }
    // 130 for SIGINT, 143 for SIGTERM.
    static int exitCode() { return 128 + stopSignal; }

private:
    struct sigaction saved_[2]{};
};

// Starts devices --spacing ms apart, as the window spaces its requests.
class Spacer {
public:
    explicit Spacer(int ms) : ms_(ms) {}
    void next() {
        if (clock_.isValid() && clock_.elapsed() < ms_) {
            QEventLoop loop;
            QTimer::singleShot(static_cast<int>(ms_ - clock_.elapsed()), &loop, &QEventLoop::quit);
            loop.exec();
        }
        clock_.start();
    }

private:
    qint64 ms_;
    QElapsedTimer clock_;
};

// The device's outcome of the last run of its session, under the fleet operation's name.
tarn::DeviceOutcome outcomeOf(const DeviceSession& session, const tarn::DeviceEntry& device, int code,
                              const char* operation) {
    tarn::DeviceOutcome outcome;
    if (session.outcome()) outcome = *session.outcome();
    outcome.device = device;
    outcome.operation = operation;
    if (code != kExitOk && outcome.status == tarn::OutcomeStatus::Ok) {
        outcome.status = tarn::OutcomeStatus::Failed;
        outcome.message = "not done (exit code " + std::to_string(code) + ")";
    }
    return outcome;
}

void printLine(const FleetOptions& o, const tarn::DeviceOutcome& outcome) {
    if (o.json) return;
    QTextStream(stdout) << latin1(tarn::outcomeLine(outcome)) << '\n';
}

// The devices the selection reported without touching them, under the run's operation.
void reportUnreached(const FleetOptions& o, const tarn::FleetSelection& selection, const char* operation,
                     tarn::OperationOutcomes& outcomes) {
    for (tarn::DeviceOutcome outcome : selection.unreached) {
        outcome.operation = operation;
        printLine(o, outcome);
        outcomes.push_back(std::move(outcome));
    }
}

// The devices a stopped run did not reach.
void reportCancelled(const FleetOptions& o, const std::vector<tarn::DeviceEntry>& devices, std::size_t from,
                     const char* operation, tarn::OperationOutcomes& outcomes) {
    for (std::size_t i = from; i < devices.size(); ++i) {
        tarn::DeviceOutcome outcome{devices[i], operation, tarn::OutcomeStatus::Cancelled, "the run was stopped", {}};
        printLine(o, outcome);
        outcomes.push_back(std::move(outcome));
    }
}

// pwd.ini takes what the devices of the run accepted; written every kLogBatch devices and at the end,
// so that a first backup of a large site writes it a few times.
constexpr int kLogBatch = 1000;

bool saveLog(const FleetOptions& o) {
    CliPrompter printer(std::nullopt);
    return o.device.credentialStore->save(printer);
}

int finish(const FleetOptions& o, const tarn::OperationOutcomes& outcomes, const tarn::ProductNames& names) {
    if (!saveLog(o))
        fail(kExitLogNotWritten,
             QStringLiteral("%1 could not be written: the devices have credentials it does not know")
                 .arg(latin1(o.device.credentialStore->path())));
    if (o.json) QTextStream(stdout) << latin1(tarn::formatFleetIndex(outcomes, names));
    if (StopSignals::stopped()) return StopSignals::exitCode();
    if (o.device.credentialStore->writeFailed()) return kExitLogNotWritten;
    return tarn::allSucceeded(outcomes) ? kExitOk : kExitDeviceFailure;
}

int backup(const FleetOptions& o, const QString& dir) {
    // The backups hold each device's own user ID and password (as `cnf save` writes them): a folder
    // made here is its owner's only.
    if (!QFileInfo::exists(dir)) {
        if (!QDir().mkpath(dir) || !QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return usageError(QStringLiteral("cannot make the folder '%1'").arg(dir));
    }
    if (!QFileInfo(dir).isDir()) return usageError(QStringLiteral("'%1' is not a folder").arg(dir));
    if (!QFileInfo(dir).isWritable()) return usageError(QStringLiteral("cannot write into '%1'").arg(dir));
    std::vector<std::string> present;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) present.push_back(name.toStdString());
    if (const auto problem = tarn::earlierBackupProblem(dir.toStdString(), present))
        return usageError(latin1(*problem));
    const tarn::ProductNames names = productNames(o);
    StopSignals stopSignals;
    int code = kExitOk;
    const auto selection = selectedDevices(o, names, code);
    if (!selection) return code;

    tarn::OperationOutcomes outcomes;
    reportUnreached(o, *selection, "Back up", outcomes);
    Spacer spacer(o.spacingMs);
    const std::vector<tarn::DeviceEntry>& devices = selection->devices;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const tarn::DeviceEntry& device = devices[i];
        if (!StopSignals::stopped()) spacer.next();
        if (StopSignals::stopped()) {
            reportCancelled(o, devices, i, "Back up", outcomes);
            break;
        }
        DeviceSession session(o.device);
        const int code = session.open(device);
        tarn::DeviceOutcome outcome = outcomeOf(session, device, code, "Back up");
        if (outcome.status == tarn::OutcomeStatus::Ok) {
            const std::string file = tarn::backupFileName(device.mac);
            QString problem;
            if (saveDeviceValues(session, QDir(dir).filePath(latin1(file)).toStdString(), problem) == kExitOk) {
                outcome.file = file;
            } else {
                outcome.status = tarn::OutcomeStatus::Failed;
                outcome.message = tarn::latin1Bytes(problem);
            }
        }
        printLine(o, outcome);
        outcomes.push_back(std::move(outcome));
        if ((i + 1) % kLogBatch == 0) saveLog(o);
    }
    // Written whole, also after a stop: every requested device has its entry.
    std::string error;
    const QString index = QDir(dir).filePath(QString::fromLatin1(tarn::kFleetIndexFileName));
    if (!tarn::writeFleetIndex(index.toStdString(), outcomes, names, &error))
        return usageError(QStringLiteral("%1 not written: %2").arg(index, latin1(error)));
    return finish(o, outcomes, names);
}

// Applies the file to one device of its product and version: read, compare, set, reboot.
tarn::DeviceOutcome applyTo(const FleetOptions& o, const tarn::DeviceEntry& device, const std::string& file,
                            const tarn::ApplyPlan& plan, bool dryRun, bool reboot) {
    DeviceSession session(o.device);
    const int code = session.open(device);
    tarn::DeviceOutcome outcome = outcomeOf(session, device, code, "Apply");
    outcome.file = file;
    if (outcome.status != tarn::OutcomeStatus::Ok) return outcome;

    tarn::ParameterTable& table = session.table();
    std::vector<std::string> before;
    for (int r = 0; r < table.rowCount(); ++r) before.push_back(table.row(r).value);
    const tarn::StepResult loaded = tarn::loadConfiguration(file, {device}, table);
    session.prompter().showReports(loaded);
    if (!loaded) {
        outcome.status = tarn::OutcomeStatus::Failed;
        outcome.message = "the file does not fit the device";
        return outcome;
    }
    const std::vector<tarn::RowChange> changes = tarn::limitChanges(
        table, before, plan.onlyRecords, tarn::byteOrderForProduct(tarn::productNumberFromId(device.productId)));
    outcome.message = tarn::changesSummary(changes);
    if (dryRun) {
        if (!o.json) {
            printLine(o, outcome);
            for (const tarn::RowChange& c : changes)
                QTextStream(stdout) << "    " << latin1(c.name) << ": " << latin1(c.deviceValue) << " -> "
                                    << latin1(c.fileValue) << '\n';
        }
        return outcome;
    }
    if (changes.empty()) return outcome;  // nothing to send; nothing to reboot for

    const int setCode = session.applySet();
    outcome = outcomeOf(session, device, setCode, "Apply");
    outcome.file = file;
    if (outcome.status != tarn::OutcomeStatus::Ok) {
        outcome.message = "set: " + outcome.message;
        return outcome;
    }
    outcome.message = "set " + std::to_string(changes.size()) + (changes.size() == 1 ? " row" : " rows");
    if (!reboot) return outcome;
    const std::string done = outcome.message;
    const int rebootCode = session.run([&session] { session.session().reboot(); });
    outcome = outcomeOf(session, device, rebootCode, "Apply");
    outcome.file = file;
    outcome.message =
        outcome.status == tarn::OutcomeStatus::Ok ? done + ", rebooted" : done + "; reboot: " + outcome.message;
    return outcome;
}

int apply(const FleetOptions& o, const QString& fileArgument, const QStringList& only, bool dryRun, bool reboot) {
    const std::string file = fileArgument.toStdString();
    std::vector<std::string> rows;
    for (const QString& row : only) rows.push_back(tarn::latin1Bytes(row.trimmed()));
    const tarn::ApplyPlan plan =
        tarn::planApply(file, o.device.dataDir.toStdString() + "/", rows, *o.device.definitions);
    if (!plan.problem.empty()) return usageError(latin1(plan.problem));
    if (!plan.refused.empty()) return usageError(latin1(tarn::refusedValuesText(plan.refused)));
    const tarn::ProductNames names = productNames(o);
    StopSignals stopSignals;
    int code = kExitOk;
    const auto selection = selectedDevices(o, names, code);
    if (!selection) return code;

    tarn::DeviceEntry fileDevice;
    fileDevice.productId = plan.header.productId;
    const std::string fileProduct = tarn::productText(fileDevice, names);
    const std::vector<tarn::DeviceEntry>& devices = selection->devices;
    const bool anyOfTheFile = std::any_of(devices.begin(), devices.end(), [&](const tarn::DeviceEntry& d) {
        return d.productId == plan.header.productId && d.version == plan.header.version;
    });
    tarn::OperationOutcomes outcomes;
    reportUnreached(o, *selection, "Apply", outcomes);
    Spacer spacer(o.spacingMs);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const tarn::DeviceEntry& device = devices[i];
        if (StopSignals::stopped()) {
            reportCancelled(o, devices, i, "Apply", outcomes);
            break;
        }
        tarn::DeviceOutcome outcome;
        if (device.productId != plan.header.productId || device.version != plan.header.version) {
            outcome.device = device;
            outcome.operation = "Apply";
            outcome.status = tarn::OutcomeStatus::Skipped;
            outcome.message = "the file is for " + fileProduct + " " + plan.header.version;
        } else {
            spacer.next();
            outcome = applyTo(o, device, file, plan, dryRun, reboot);
        }
        if (!dryRun || outcome.status != tarn::OutcomeStatus::Ok) printLine(o, outcome);
        outcomes.push_back(std::move(outcome));
        if ((i + 1) % kLogBatch == 0) saveLog(o);
    }
    const int done = finish(o, outcomes, names);
    // A file for a product none of the selected devices has applied nothing: that is no success.
    if (done == kExitOk && !anyOfTheFile)
        return fail(kExitDeviceFailure, QStringLiteral("no selected device is a %1 %2: nothing was applied")
                                            .arg(latin1(fileProduct), latin1(plan.header.version)));
    return done;
}

}  // namespace

int runFleet(const QStringList& args) {
    const QString sub = args.value(0);
    if (sub == QLatin1String("export")) return runFleetExport(args.mid(1));
    const bool isBackup = sub == QLatin1String("backup");
    if (!isBackup && sub != QLatin1String("apply"))
        return usageError(
            QStringLiteral("usage: tarnctl fleet backup DIR | apply FILE.CNF [--only ROW[,ROW...]] "
                           "[--dry-run] [--reboot] (see tarnctl --help)"));
    QCommandLineParser p;
    addFleetOptions(p);
    if (!isBackup) {
        p.addOption({"only", "Apply only these rows (names or ids, comma-separated).", "rows"});
        p.addOption({"dry-run", "Show per device the rows that differ from the file; send nothing."});
        p.addOption({"reboot", "Reboot each device that took the set."});
    }
    if (!p.parse(QStringList{QStringLiteral("tarnctl fleet ") + sub} + args.mid(1))) return badOption(p);
    if (p.positionalArguments().size() != 1)
        return usageError(QStringLiteral("fleet %1 takes one %2").arg(sub, isBackup ? "DIR" : "FILE.CNF"));
    const auto options = readFleetOptions(p);
    if (!options) return kExitUsage;
    if (isBackup) return backup(*options, p.positionalArguments().first());
    if (p.isSet("dry-run") && p.isSet("reboot"))
        return usageError(QStringLiteral("--dry-run sends nothing: no --reboot"));
    const QStringList only = p.isSet("only") ? p.value("only").split(',', Qt::SkipEmptyParts) : QStringList();
    if (p.isSet("only") && only.isEmpty()) return usageError(QStringLiteral("--only needs at least one row"));
    return apply(*options, p.positionalArguments().first(), only, p.isSet("dry-run"), p.isSet("reboot"));
}

}  // namespace tarnctl
