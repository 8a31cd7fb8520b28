#include "tarnctl/fleet_run.h"

#include <csignal>
#include <cstdio>

#include <QDir>
#include <QTextStream>

#include "core/common/text.h"
#include "core/fleet/fleet_index.h"
#include "core/manage/credential_log.h"
#include "core/manage/management_requests.h"
#include "link/common/qt_bytes.h"
#include "link/common/stop_signals.h"
#include "link/discovery/local_subnet.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"

namespace tarnctl {

namespace {

// "no device answers the probe" or "none of the N devices ... matches": the message of a run that
// selects nothing.
QString nothingSelected(std::size_t answered) {
    return answered == 0 ? QStringLiteral("no device answers the probe: nothing to do")
                         : QStringLiteral("none of the %1 devices that answered matches the selection: nothing to do")
                               .arg(answered);
}

}  // namespace

void printLine(const FleetOptions& o, const tarn::DeviceOutcome& outcome) {
    if (o.json) return;
    // Through the stream's own buffer: a run of 600,000 devices is not 600,000 writes.
    const std::string line = tarn::latin1ToUtf8(tarn::escapeControlCharacters(tarn::outcomeLine(outcome))) + '\n';
    std::fwrite(line.data(), 1, line.size(), o.linesOnStderr ? stderr : stdout);
}

FleetRun::FleetRun(const FleetOptions& o, tarn::ProductNames names)
    : o_(o),
      names_(std::move(names)),
      operator_(o.device.credentials),
      timers_({tarn::JobTimer::SessionNextDevice, tarn::JobTimer::SessionReplyWait, tarn::JobTimer::Spacing},
              [this](tarn::JobTimer which) { job_->timerExpired(which); }) {
    tarn::deliverStopSignals({SIGINT, SIGTERM}, &signalContext_, [this](int signal) {
        stopSignal_ = signal;
        if (job_) job_->cancel();
    });
    QObject::connect(&link_, &tarn::ManagementLink::replyReceived, [this](const QByteArray& d) {
        if (job_) job_->handleDatagram(tarn::asBytes(d));
    });
}

void FleetRun::start(tarn::JobRequest request, Selected selected, Done done) {
    done_ = std::move(done);
    if (!link_.open()) return endLoop(usageError(QStringLiteral("cannot open a UDP socket")));
    link_.setBroadcastAddress(o_.device.broadcast);
    link_.setDevicePort(o_.device.devicePort);
    probeDevices(o_.probe, [this, request = std::move(request), selected = std::move(selected)](
                               std::optional<std::vector<tarn::DeviceEntry>> answered) mutable {
        if (!answered) return endLoop(kExitUsage);
        request.selection = tarn::selectFleet(*answered, o_.filter, names_);
        if (request.selection.empty()) return endLoop(fail(kExitDeviceFailure, nothingSelected(answered->size())));
        if (const int code = selected(request.selection, *answered); code != kExitOk) return endLoop(code);
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
        if (stopSignal_ != 0) job_->cancel();  // stopped while probing: no device is touched
        job_->start(std::move(request));
    });
}

bool FleetRun::onLocalSubnet(const std::string& ip) const { return tarn::IsOnLocalSubnet(ip); }

bool FleetRun::sendDatagram(const tarn::Bytes& datagram, const std::string& address) {
    // An empty address is the broadcast of a MAC-addressed device.
    return link_.send(datagram, address);
}

void FleetRun::deviceMessage(const tarn::DeviceEntry&, const std::string& caption, const std::string& text) {
    operator_.showMessage(caption, text, tarn::MessageIcon::None);
}

void FleetRun::deviceFinished(const tarn::DeviceResult& result) {
    tellFailure(result.outcome);
    printLine(o_, result.outcome);
    if (dryRun_ && !o_.json && result.outcome.status == tarn::OutcomeStatus::Ok) {
        // The device's own password as dots, as the list shows it, unless --show-passwords.
        const auto shown = [&](const tarn::RowChange& c, const std::string& text) {
            const std::string masked =
                result.table ? tarn::shownText(*result.table, c.row, text, o_.showPasswords) : text;
            return latin1(tarn::escapeControlCharacters(masked));
        };
        for (const tarn::RowChange& c : result.changes)
            QTextStream(stdout) << "    " << latin1(tarn::escapeControlCharacters(c.name)) << ": "
                                << shown(c, c.deviceValue) << " -> " << shown(c, c.fileValue) << '\n';
    }
    if (onDevice) onDevice(result);
}

// On standard error, as `params get` says it of one device.
void FleetRun::tellFailure(const tarn::DeviceOutcome& outcome) const {
    const tarn::DeviceEntry& d = outcome.device;
    const QString who = QStringLiteral("%1 (%2)").arg(latin1(d.name), latin1(d.ip));  // fail() escapes
    if (outcome.status == tarn::OutcomeStatus::Refused)
        fail(kExitDeviceFailure, QStringLiteral("%1 refused the ID or password").arg(who));
    else if (outcome.status == tarn::OutcomeStatus::NoReply && !d.ip.empty())
        fail(kExitNoReply, QStringLiteral("no reply from %1 within %2 ms").arg(who).arg(o_.device.waitMs));
    else if (outcome.message == tarn::kNoCredentials)
        fail(kExitDeviceFailure, QStringLiteral("no ID and password for %1 (MAC %2) in %3; give --id and --password")
                                     .arg(latin1(d.name), latin1(d.mac), latin1(o_.device.credentialStore->path())));
}

void FleetRun::jobFinished(const tarn::OperationOutcomes& outcomes, const std::string& indexError) {
    done_(outcomes, indexError);
}

int finish(const FleetOptions& o, const tarn::OperationOutcomes& outcomes, const tarn::ProductNames& names,
           int stopSignal) {
    CliPrompter printer(std::nullopt);
    if (!o.device.credentialStore->save(printer))
        fail(kExitLogNotWritten,
             QStringLiteral("%1 could not be written: the devices have credentials it does not know")
                 .arg(latin1(o.device.credentialStore->path())));
    if (o.json) QTextStream(stdout) << latin1(tarn::formatFleetIndex(outcomes, names));
    if (stopSignal != 0) return 128 + stopSignal;
    if (o.device.credentialStore->writeFailed()) return kExitLogNotWritten;
    return tarn::allSucceeded(outcomes) ? kExitOk : kExitDeviceFailure;
}

}  // namespace tarnctl
