// One device, headless: what tarnctl's parameter commands (params, reboot, cnf) share. The device is
// probed at its typed address as Quick Connect does (--address), or found by its MAC among the
// devices that answer a broadcast probe (--mac, which then reaches a MAC-addressed device by
// broadcast as the window does). Then ManagementSession does all the work, with
// this file as its host (socket, timers) and a prompter that answers the product's questions the way
// a script wants them answered. Everything runs on the application's event loop: each step hands its
// exit code to the next, and a command ends with endLoop (event_loop.h).
//
// Exit codes of these commands: 0 only when the device answered everything and every value went
// through; 1 the device refused the ID or password (or none is known) or answered with a failure;
// 2 a bad argument, a refused value, an unusable file, credentials that cannot be used, or no device
// at the address; 3 a reply missing after --wait, or broken (length or checksum).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QHostAddress>
#include <QString>
#include <QTimer>

#include "core/common/prompter.h"
#include "core/discovery/device_entry.h"
#include "core/manage/management_session.h"
#include "link/common/qt_bytes.h"
#include "link/common/single_shot_timers.h"
#include "link/discovery/management_link.h"
#include "tarnctl/options.h"

namespace tarnctl {

constexpr int kExitNoReply = 3;

// Messages go to standard error as "caption: text". The confirmations of Set and Reboot are answered
// Yes, the reboot question that follows a completed set No (told apart by their kind). The password
// dialog is answered with --id/--password once: asked again (the device refused them, or they cannot
// be used) it is cancelled, since the same answer would only fail again.
class CliPrompter : public tarn::Prompter {
public:
    explicit CliPrompter(std::optional<tarn::Credentials> credentials) : credentials_(std::move(credentials)) {}

    void showMessage(const std::string& caption, const std::string& text, tarn::MessageIcon icon) override;
    // Every answer is given inside the call.
    void askYesNo(const std::string& caption, const std::string& text, tarn::Answer<bool> answer) override;
    void confirm(const tarn::ConfirmText& text, tarn::Answer<bool> answer) override;
    void askCredentials(const tarn::CredentialsQuestion& question,
                        tarn::Answer<std::optional<tarn::CredentialsAnswer>> answer) override;

    // The session needed credentials that neither the log nor the command line had.
    bool credentialsMissing() const { return missing_; }
    // The session asked again after it had the answer: the credentials were refused or unusable.
    bool askedAgain() const { return repeated_; }

private:
    std::optional<tarn::Credentials> credentials_;
    bool answered_ = false;
    bool repeated_ = false;
    bool missing_ = false;
};

// The exit code of a step: 0 when it did everything.
using Done = std::function<void(int exitCode)>;

class DeviceSession : public tarn::ManagementHost {
public:
    explicit DeviceSession(DeviceOptions options);
    ~DeviceSession() override;

    // Probes the device and reads all of its values (the .dcf loaded as the GUI loads it); `done`
    // gets 0 when the rows hold the device's values.
    void open(Done done);
    // Runs a command of the session; `done` once it, and every part or follow-up it starts, is over:
    // after the event that leaves the session with no operation and no open question.
    void run(const std::function<void()>& command, Done done);

    // Sends the marked rows (ManagementSession::set). When the set changed the device's own ID or
    // password, the values are read once more so that pwd.ini follows.
    void applySet(Done done);

    tarn::ManagementSession& session() { return *session_; }
    tarn::ParameterTable& table() { return session_->table(); }
    tarn::Prompter& prompter() { return prompter_; }
    const tarn::DeviceEntry& device() const { return device_; }
    const DeviceOptions& options() const { return options_; }
    int rebootsDone() const { return rebootsDone_; }

    // ManagementHost.
    std::vector<tarn::DeviceEntry> selectedDevices() const override;
    bool onLocalSubnet(const std::string& ip) const override;
    bool sendDatagram(const tarn::Bytes& datagram, const std::string& address) override;
    void startTimer(tarn::SessionTimer timer, int ms) override;
    void stopTimer(tarn::SessionTimer timer) override;
    void definitionsChanged() override {}
    void setMonitorAddress(const std::string&) override {}
    void setMonitorPort(int) override {}
    void showProgress(const std::string&) override {}
    void sessionEvent(const tarn::SessionEvent& event) override;

private:
    void noteMissing(const std::vector<std::string>& missing);
    // After every event: the run is over once the session rests (or the guard ran out).
    void settle();
    int result();

    DeviceOptions options_;
    std::string logPath_;
    CliPrompter prompter_;
    std::unique_ptr<tarn::ManagementSession> session_;
    tarn::ManagementLink link_;
    tarn::SingleShotTimers<tarn::SessionTimer> timers_;
    QTimer guard_;  // ends a wait that the session's own timers somehow did not end
    Done done_;     // the run in progress
    tarn::DeviceEntry device_;
    int sent_ = 0;
    int sentBefore_ = 0;  // sent_ when the run began
    bool refused_ = false;
    bool broken_ = false;
    bool changeExpected_ = false;  // a set changed the device's own credentials: one refusal is due
    std::vector<std::string> missing_;
    bool timedOut_ = false;
    int rebootsDone_ = 0;
};

// A command on one device: reads the device options of `p` (a bad one: its message, and the exit
// status returned), opens the device (probe, values read) and runs `then` on it from the event loop;
// the command ends with endLoop. Returns the exit status.
int runOnDevice(const QCommandLineParser& p, const std::function<void(DeviceSession&)>& then);

// Writes the device's values as `cnf save` does (atomically, to exactly this path). Returns 0, or
// the exit code with what went wrong: 3 when the device gave no values, 2 when the file could not
// be written.
int saveDeviceValues(DeviceSession& device, const std::string& path, QString& problem);

// Prints "tarnctl: <message>" on standard error and returns the code.
int fail(int code, const QString& message);
using tarn::latin1;

}  // namespace tarnctl
