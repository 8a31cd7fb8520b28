// tarnctl fleet backup|apply: the parameters of many devices at once. A probe finds the devices,
// the selection options choose among them, and a DeviceJob then takes each chosen device through a
// session of its own, one after the other, started --spacing ms apart: a backup reads it and writes
// its .CNF, an apply reads it, marks the rows of the file that differ and sets them. What happened
// to each device is one line of output and, for a backup, one entry of DIR/fleet.json. Everything
// runs on the application's one event loop, which the job's end quits.
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <map>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include "core/fleet/device_job.h"
#include "core/fleet/fleet_apply.h"
#include "core/fleet/fleet_index.h"
#include "core/fleet/fleet_selection.h"
#include "core/manage/configuration_commands.h"
#include "core/manage/credential_log.h"
#include "core/params/product_table.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"
#include "tarnctl/commands.h"
#include "tarnctl/device_session.h"
#include "tarnctl/io_session.h"
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

// "no device answers the probe" or "none of the N devices ... matches": the message of a run that
// selects nothing.
QString nothingSelected(std::size_t answered) {
    return answered == 0 ? QStringLiteral("no device answers the probe: nothing to do")
                         : QStringLiteral("none of the %1 devices that answered matches the selection: nothing to do")
                               .arg(answered);
}

// SIGINT and SIGTERM end a fleet run after the device in flight: the handler only notes the signal
// and wakes the event loop through a pipe; the run is cancelled from there.
volatile std::sig_atomic_t stopSignal = 0;
int stopPipe[2] = {-1, -1};

class StopSignals {
public:
    explicit StopSignals(std::function<void()> stopped) {
        if (::pipe2(stopPipe, O_CLOEXEC) == 0) {
            ::fcntl(stopPipe[1], F_SETFL, O_NONBLOCK);
            notifier_ = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, stopped = std::move(stopped)] {
                char drained[16];
                [[maybe_unused]] const auto n = ::read(stopPipe[0], drained, sizeof drained);
                notifier_->setEnabled(false);
                stopped();
            });
        }
        struct sigaction action {};
        action.sa_handler = [](int signal) {
            stopSignal = signal;
            if (stopPipe[1] >= 0) {
                [[maybe_unused]] const auto n = ::write(stopPipe[1], "s", 1);
            }
        };
        sigemptyset(&action.sa_mask);
        for (int s : {SIGINT, SIGTERM}) ::sigaction(s, &action, &saved_[s == SIGINT ? 0 : 1]);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &saved_[0], nullptr);
        ::sigaction(SIGTERM, &saved_[1], nullptr);
        notifier_.reset();
        for (int& fd : stopPipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    static bool stopped() { return stopSignal != 0; }
    // 130 for SIGINT, 143 for SIGTERM.
    static int exitCode() { return 128 + stopSignal; }

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction saved_[2]{};
};

void printLine(const FleetOptions& o, const tarn::DeviceOutcome& outcome) {
    if (o.json) return;
    QTextStream(stdout) << latin1(tarn::outcomeLine(outcome)) << '\n';
}

// One fleet command on the application's event loop: the probe, the selection, then the DeviceJob
// (socket and timers here), one line per device as it is over; `done` gets the outcomes.
class FleetRun : private tarn::DeviceJobHost {
public:
    using Done = std::function<void(const tarn::OperationOutcomes&, const std::string& indexError)>;

    FleetRun(const FleetOptions& o, tarn::ProductNames names)
        : o_(o),
          names_(std::move(names)),
          operator_(o.device.credentials),
          socket_(kReceiveCapacity, tarn::ManagementChannel::Management),
          stop_([this] {
              if (job_) job_->cancel();
          }) {
        for (tarn::JobTimer which :
             {tarn::JobTimer::SessionNextDevice, tarn::JobTimer::SessionReplyWait, tarn::JobTimer::Spacing}) {
            auto& t = timers_[which];
            t = std::make_unique<QTimer>();
            t->setSingleShot(true);
            QObject::connect(t.get(), &QTimer::timeout, [this, which] { job_->timerExpired(which); });
        }
        QObject::connect(&socket_, &tarn::CDeviceSocket::socketReceive, [this](const tarn::Datagram& d) {
            if (job_) job_->handleDatagram(tarn::asBytes(d.data));
        });
    }

    // Probes, selects (`selected` may refuse the selection: false after its message, with the exit
    // code), and runs the job the request describes; `done` once the job is over.
    void start(tarn::JobRequest request, std::function<int(const tarn::FleetSelection&)> selected, Done done) {
        done_ = std::move(done);
        if (!socket_.create()) return IoSession::finish(usageError(QStringLiteral("cannot open a UDP socket")));
        socket_.setBroadcastAddress(o_.device.broadcast);
        probeDevices(o_.probe, [this, request = std::move(request), selected = std::move(selected)](
                                   std::optional<std::vector<tarn::DeviceEntry>> answered) mutable {
            if (!answered) return IoSession::finish(kExitUsage);
            request.selection = tarn::selectFleet(*answered, o_.filter, names_);
            if (request.selection.empty())
                return IoSession::finish(fail(kExitDeviceFailure, nothingSelected(answered->size())));
            if (const int code = selected(request.selection); code != kExitOk) return IoSession::finish(code);
            request.spacingMs = o_.spacingMs;
            request.cancelledMessage = "the run was stopped";
            dryRun_ = request.dryRun;
            tarn::SessionSettings settings;
            settings.dataDir = o_.device.dataDir.toStdString() + "/";
            settings.logPath = o_.device.credentialStore->path();
            settings.replyWaitMs = o_.device.waitMs;
            settings.definitions = o_.device.definitions;
            settings.credentialStore = o_.device.credentialStore;
            job_ = std::make_unique<tarn::DeviceJob>(static_cast<tarn::DeviceJobHost&>(*this), operator_, settings);
            if (StopSignals::stopped()) job_->cancel();  // stopped while probing: no device is touched
            job_->start(std::move(request));
        });
    }

private:
    bool onLocalSubnet(const std::string& ip) const override { return tarn::IsOnLocalSubnet(ip); }
    bool sendDatagram(const tarn::Bytes& datagram, const std::string& address) override {
        // An empty address is the broadcast of a MAC-addressed device.
        return socket_.sendTo(
            QByteArray(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size())),
            o_.device.devicePort, QString::fromStdString(address));
    }
    void startTimer(tarn::JobTimer timer, int ms) override { timers_.at(timer)->start(ms); }
    void stopTimer(tarn::JobTimer timer) override { timers_.at(timer)->stop(); }
    void jobProgress(int, int, const std::string&) override {}
    void deviceMessage(const tarn::DeviceEntry&, const std::string& caption, const std::string& text) override {
        operator_.showMessage(caption, text, tarn::MessageIcon::None);
    }
    void deviceFinished(const tarn::DeviceResult& result) override {
        tellFailure(result.outcome);
        printLine(o_, result.outcome);
        if (!dryRun_ || o_.json || result.outcome.status != tarn::OutcomeStatus::Ok) return;
        for (const tarn::RowChange& c : result.changes)
            QTextStream(stdout) << "    " << latin1(c.name) << ": " << latin1(c.deviceValue) << " -> "
                                << latin1(c.fileValue) << '\n';
    }
    void jobFinished(const tarn::OperationOutcomes& outcomes, const std::string& indexError) override {
        done_(outcomes, indexError);
    }
    // On standard error, as `params get` says it of one device.
    void tellFailure(const tarn::DeviceOutcome& outcome) const {
        const tarn::DeviceEntry& d = outcome.device;
        const QString who = QStringLiteral("%1 (%2)").arg(latin1(d.name), latin1(d.ip));
        if (outcome.status == tarn::OutcomeStatus::Refused)
            fail(kExitDeviceFailure, QStringLiteral("%1 refused the ID or password").arg(who));
        else if (outcome.status == tarn::OutcomeStatus::NoReply && !d.ip.empty())
            fail(kExitNoReply, QStringLiteral("no reply from %1 within %2 ms").arg(who).arg(o_.device.waitMs));
        else if (outcome.message == tarn::kNoCredentials)
            fail(kExitDeviceFailure,
                 QStringLiteral("no ID and password for %1 (MAC %2) in %3; give --id and --password")
                     .arg(latin1(d.name), latin1(d.mac), latin1(o_.device.credentialStore->path())));
    }

    // The largest management reply the socket takes, as in the window.
    static constexpr std::size_t kReceiveCapacity = 1500;

    const FleetOptions& o_;
    tarn::ProductNames names_;
    CliPrompter operator_;
    tarn::CDeviceSocket socket_;
    StopSignals stop_;
    std::map<tarn::JobTimer, std::unique_ptr<QTimer>> timers_;
    std::unique_ptr<tarn::DeviceJob> job_;
    Done done_;
    bool dryRun_ = false;
};

int finish(const FleetOptions& o, const tarn::OperationOutcomes& outcomes, const tarn::ProductNames& names) {
    CliPrompter printer(std::nullopt);
    if (!o.device.credentialStore->save(printer))
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
    FleetRun run(o, names);
    tarn::JobRequest request;
    request.kind = tarn::JobKind::Backup;
    request.folder = dir.toStdString();
    return IoSession::exec([&] {
        run.start(
            std::move(request), [](const tarn::FleetSelection&) { return kExitOk; },
            [&](const tarn::OperationOutcomes& outcomes, const std::string& error) {
                // Written whole by the job, also after a stop: every requested device has its entry.
                if (!error.empty())
                    return IoSession::finish(usageError(
                        QStringLiteral("%1 not written: %2")
                            .arg(QDir(dir).filePath(QString::fromLatin1(tarn::kFleetIndexFileName)), latin1(error))));
                IoSession::finish(finish(o, outcomes, names));
            });
    });
}

int apply(const FleetOptions& o, const QString& fileArgument, const QStringList& only, bool dryRun, bool reboot) {
    tarn::JobRequest request;
    request.kind = tarn::JobKind::Apply;
    request.file = fileArgument.toStdString();
    request.dryRun = dryRun;
    request.reboot = reboot;
    std::vector<std::string> rows;
    for (const QString& row : only) rows.push_back(tarn::latin1Bytes(row.trimmed()));
    request.plan = tarn::planApply(request.file, o.device.dataDir.toStdString() + "/", rows, *o.device.definitions);
    if (!request.plan.problem.empty()) return usageError(latin1(request.plan.problem));
    if (!request.plan.refused.empty()) return usageError(latin1(tarn::refusedValuesText(request.plan.refused)));
    const tarn::ProductNames names = productNames(o);
    const tarn::ConfigurationHeader header = request.plan.header;
    tarn::DeviceEntry fileDevice;
    fileDevice.productId = header.productId;
    const std::string fileProduct = tarn::productText(fileDevice, names);
    bool anyOfTheFile = false;
    FleetRun run(o, names);
    return IoSession::exec([&] {
        run.start(
            std::move(request),
            [&](const tarn::FleetSelection& selection) {
                anyOfTheFile =
                    std::any_of(selection.devices.begin(), selection.devices.end(), [&](const tarn::DeviceEntry& d) {
                        return d.productId == header.productId && d.version == header.version;
                    });
                return kExitOk;
            },
            [&](const tarn::OperationOutcomes& outcomes, const std::string&) {
                const int done = finish(o, outcomes, names);
                // A file for a product none of the selected devices has applied nothing: that is no success.
                if (done == kExitOk && !anyOfTheFile)
                    return IoSession::finish(
                        fail(kExitDeviceFailure, QStringLiteral("no selected device is a %1 %2: nothing was applied")
                                                     .arg(latin1(fileProduct), latin1(header.version))));
                IoSession::finish(done);
            });
    });
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
