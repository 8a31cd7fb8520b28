#include "tarnctl/device_session.h"

#include <algorithm>

#include <QDir>
#include <QTextStream>

#include "core/common/text.h"
#include "core/discovery/addressing.h"
#include "core/discovery/selection_identity.h"
#include "core/manage/configuration_commands.h"
#include "core/manage/credential_log.h"
#include "link/discovery/local_subnet.h"
#include "tarnctl/commands.h"
#include "tarnctl/event_loop.h"
#include "tarnctl/probe.h"

namespace tarnctl {

int fail(int code, const QString& message) {
    QTextStream(stderr) << "tarnctl: " << terminalText(message) << '\n';
    return code;
}

// A message keeps its lines; the device texts inside them (names, values) are shown escaped.
void CliPrompter::showMessage(const std::string& caption, const std::string& text, tarn::MessageIcon) {
    QTextStream(stderr) << latin1(tarn::escapeControlCharacters(caption)) << ": "
                        << latin1(tarn::escapeControlCharactersByLine(text)) << '\n';
}

void CliPrompter::askYesNo(const std::string& caption, const std::string& text, tarn::Answer<bool> answer) {
    showMessage(caption, text, tarn::MessageIcon::Question);
    answer(false);
}

void CliPrompter::confirm(const tarn::ConfirmText& text, tarn::Answer<bool> answer) {
    // Rebooting after a set is a command of its own.
    answer(tarn::unattendedConfirm(text.kind));
}

void CliPrompter::askCredentials(const tarn::CredentialsQuestion&,
                                 tarn::Answer<std::optional<tarn::CredentialsAnswer>> answer) {
    if (!credentials_) {
        missing_ = true;
        answer(std::nullopt);
        return;
    }
    if (answered_) {  // the same answer again would only fail again
        repeated_ = true;
        answer(std::nullopt);
        return;
    }
    answered_ = true;
    answer(tarn::CredentialsAnswer{*credentials_, false});
}

DeviceSession::DeviceSession(DeviceOptions options)
    : options_(std::move(options)),
      prompter_(options_.credentials),
      timers_({tarn::SessionTimer::NextDevice, tarn::SessionTimer::ReplyWait}, [this](tarn::SessionTimer which) {
          session_->timerExpired(which);
          settle();
      }) {
    logPath_ = QDir(options_.logDir).filePath(QString::fromLatin1(tarn::kCredentialLogFileName)).toStdString();
    tarn::SessionSettings settings;
    settings.dataDir = options_.dataDir.toStdString() + "/";
    settings.logPath = logPath_;
    settings.replyWaitMs = options_.waitMs;
    settings.definitions = options_.definitions;
    settings.credentialStore = options_.credentialStore;
    session_ = std::make_unique<tarn::ManagementSession>(*this, prompter_, settings);
    QObject::connect(&link_, &tarn::ManagementLink::replyReceived, [this](const QByteArray& d) {
        session_->handleDatagram(tarn::asBytes(d));
        settle();
    });
    guard_.setSingleShot(true);
    QObject::connect(&guard_, &QTimer::timeout, [this] {
        timedOut_ = true;
        if (done_) std::exchange(done_, nullptr)(result());
    });
}

DeviceSession::~DeviceSession() = default;

void DeviceSession::open(Done done) {
    if (!link_.open()) return done(fail(kExitUsage, QStringLiteral("cannot open a UDP socket")));
    link_.setBroadcastAddress(options_.broadcast);
    link_.setDevicePort(options_.devicePort);
    // The unicast probe of Quick Connect, where the device that answers from the address is the one;
    // or a broadcast probe, where it is the device with the MAC asked for. That one waits the whole
    // wait: a second address that answers with the MAC makes it a conflict, and neither gets a request.
    ProbeRequest probe;
    probe.broadcast = options_.broadcast;
    probe.devicePort = options_.devicePort;
    probe.waitMs = options_.waitMs;
    probe.allInterfaces = options_.allInterfaces;
    if (options_.mac.isEmpty()) {
        probe.addresses = {tarn::parseIPv4(options_.address.toStdString()).value_or(0)};
        probe.until = [](const tarn::DeviceEntry&) { return true; };
    }
    probeDevices(probe, [this, done = std::move(done)](std::optional<std::vector<tarn::DeviceEntry>> answered) {
        if (!answered) return done(kExitUsage);
        const std::string mac = options_.mac.toStdString();
        const auto found = std::find_if(answered->begin(), answered->end(), [&](const tarn::DeviceEntry& d) {
            return mac.empty() || tarn::equalsIgnoreCase(d.mac, mac);
        });
        if (found == answered->end())
            return done(fail(kExitUsage, options_.mac.isEmpty()
                                             ? QStringLiteral("no device answers at %1").arg(options_.address)
                                             : QStringLiteral("no device with MAC %1 answers").arg(options_.mac)));
        if (!found->conflictAddress.empty())
            return done(fail(kExitDeviceFailure, latin1(tarn::escapeControlCharacters(tarn::conflictMessage(*found)))));
        device_ = *found;
        // Given credentials go into the request as if typed in the password dialog; pwd.ini takes them
        // once the device has accepted them.
        if (options_.credentials) session_->askCredentials(tarn::toUpperAscii(device_.mac));
        run([this] { session_->RequestParameterValues(0); }, done);
    });
}

void DeviceSession::applySet(Done done) {
    run([this] { session_->set(); },
        [this, done = std::move(done)](int code) {
            if (code != kExitOk) return done(code);
            // A new ID or password: the device's refusal of the old ones, due now, moves pwd.ini to the
            // new ones, so that the next tarnctl run finds them.
            changeExpected_ = true;
            auto again = std::make_shared<bool>(false);
            run([this, again] { *again = session_->readAgainAfterCredentialChange(device_); },
                [this, done, again](int readAgain) {
                    changeExpected_ = false;
                    done(*again ? readAgain : kExitOk);  // no read: the set's own outcome
                });
        });
}

void DeviceSession::run(const std::function<void()>& command, Done done) {
    missing_.clear();
    timedOut_ = false;
    refused_ = false;
    broken_ = false;
    sentBefore_ = sent_;
    done_ = std::move(done);
    command();
    settle();
}

void DeviceSession::settle() {
    if (!done_ || session_->busy()) return;
    guard_.stop();
    std::exchange(done_, nullptr)(result());
}

int DeviceSession::result() {
    const QString who = QStringLiteral("%1 (%2)").arg(latin1(device_.name), latin1(device_.ip));
    if (refused_) return fail(kExitDeviceFailure, QStringLiteral("%1 refused the ID or password").arg(who));
    if (prompter_.credentialsMissing())
        return fail(kExitDeviceFailure,
                    QStringLiteral("no ID and password for %1 (MAC %2) in %3; give --id and --password")
                        .arg(latin1(device_.name), latin1(device_.mac), latin1(logPath_)));
    if (prompter_.askedAgain())
        return fail(kExitUsage, QStringLiteral("the ID and password given cannot be used for %1").arg(who));
    if (sent_ == sentBefore_) return kExitUsage;  // the session has said why nothing was sent
    if (timedOut_ || !missing_.empty())
        return fail(kExitNoReply, QStringLiteral("no reply from %1 within %2 ms").arg(who).arg(options_.waitMs));
    if (broken_) return fail(kExitNoReply, QStringLiteral("a broken reply from %1").arg(who));
    if (session_->credentialLogFailed())
        return fail(
            kExitLogNotWritten,
            QStringLiteral("%1 took its ID and password, but %2 could not be written: the log does not know them")
                .arg(who, latin1(logPath_)));
    return kExitOk;
}

void DeviceSession::sessionEvent(const tarn::SessionEvent& event) {
    switch (event.kind) {
        case tarn::SessionEvent::Kind::AuthFailed:
            if (changeExpected_)
                changeExpected_ = false;  // the session moves the log to the new credentials
            else
                refused_ = true;
            break;
        case tarn::SessionEvent::Kind::BrokenReply:
            broken_ = true;
            break;
        case tarn::SessionEvent::Kind::RebootDone:
            ++rebootsDone_;
            break;
        case tarn::SessionEvent::Kind::OperationFinished:
            noteMissing(event.missing);
            break;
        default:
            break;
    }
}

int runOnDevice(const QCommandLineParser& p, const std::function<void(DeviceSession&)>& then) {
    int code = kExitOk;
    const auto options = readDeviceOptions(p, code);
    if (!options) return code;
    DeviceSession device(*options);
    return runLoop([&] {
        device.open([&](int opened) {
            if (opened != kExitOk) return endLoop(opened);
            then(device);
        });
    });
}

int saveDeviceValues(DeviceSession& device, const std::string& path, QString& problem) {
    const tarn::ParameterTable& table = device.table();
    if (!table.anyValue()) {
        problem = QStringLiteral("no values to save; %1 not written").arg(latin1(path));
        return kExitNoReply;
    }
    const tarn::StepResult saved = tarn::saveParameterList(path, {device.device()}, table);
    device.prompter().showReports(saved);
    if (!saved) {
        problem = QStringLiteral("%1 could not be written").arg(latin1(path));
        return kExitUsage;
    }
    return kExitOk;
}

// An operation is over; the session may go on with the next part of a long get or set, or read the
// values again after a refusal: the run ends when the session rests (settle).
void DeviceSession::noteMissing(const std::vector<std::string>& missing) {
    missing_.insert(missing_.end(), missing.begin(), missing.end());
}

std::vector<tarn::DeviceEntry> DeviceSession::selectedDevices() const { return {device_}; }

bool DeviceSession::onLocalSubnet(const std::string& ip) const { return tarn::IsOnLocalSubnet(ip); }

bool DeviceSession::sendDatagram(const tarn::Bytes& datagram, const std::string& address) {
    // An empty address is the broadcast of a MAC-addressed device found with --mac.
    ++sent_;
    guard_.start(options_.waitMs + 1000);
    return link_.send(datagram, address);
}

void DeviceSession::startTimer(tarn::SessionTimer which, int ms) { timers_.start(which, ms); }

void DeviceSession::stopTimer(tarn::SessionTimer which) { timers_.stop(which); }

}  // namespace tarnctl
