// Work on many devices: Get, Set, Reboot, Back up or Apply over the devices a selection requested,
// each device by a ManagementSession of its own, one after the other, started `spacingMs` apart. The
// window's "Back up devices...", `tarnctl fleet` and the site tables all run through it.
//
//   start: every requested device that cannot be touched (a MAC nobody answered with, two devices
//   with one MAC, a device of another product than the file) gets its outcome at once
//      |
//      v
//   device k: its session reads it ---> (Set, Apply) marks the rows that differ, sets them, reads
//      ^        it again when the set changed its own ID or password, (reboot) reboots it
//      |                                           |
//      |   the device is over when its session rests: no operation, no open question, after the
//      |   event it handled (a reply, a timer, an answer) -> its one outcome, its .CNF (Back up)
//      |                                           |
//      +---- spacing (from the start of k) --------+---- last device, or cancelled ---> finished
//
// Guarantees: exactly one outcome per requested device, reported once every follow-up of the device
// (a retry after a refusal, the next part of a long get or set, the reboot) is over; then one
// jobFinished with every outcome, in the order of the selection (the untouched ones first). For a
// backup, FOLDER/fleet.json is written whole before jobFinished, also after a cancel. pwd.ini
// (one CredentialStore for the job) is written after kLogBatch devices, then each time the run has
// doubled, and at the end: a crash loses at most half of what was learnt, and 10,000 devices cost 4 writes.
//
// cancel(): the device in flight finishes; the devices not yet started become `cancelled`.
//
// Credentials: a device pwd.ini does not know is read with what the operator typed for the first
// such device (asked once through the operator's Prompter); a device that refuses them is not asked
// again. Every other question of a session is answered by the job: the Set and Reboot confirmations
// Yes (they are what the job is for), the reboot question after a set No (the job reboots only when
// asked to, after the set is over). Messages of a session go to the host as the device's messages.
// The host owns the socket and the timers; nothing here blocks, nothing here needs Qt.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/common/liveness.h"
#include "core/common/prompter.h"
#include "core/fleet/fleet_apply.h"
#include "core/fleet/fleet_selection.h"
#include "core/manage/device_outcome.h"
#include "core/manage/management_session.h"

namespace tarn {

enum class JobKind { Get, Set, Reboot, Backup, Apply };

// Values for particular devices: by MAC (as the probe reports it; compared in any case, ':' or '-'),
// the rows to give that device, each as `params set` takes it: a row key (a parameter name, or a
// record id such as 3.1.1) and the value text. A name that several rows share is refused for a value
// (the device's outcome says which ids it names); a key that names no row is refused too. The device
// then gets nothing at all.
using DeviceValues = std::map<std::string /*MAC*/, std::vector<std::pair<std::string /*row*/, std::string /*text*/>>>;

// What a job does. Get reads; Set gives each device its DeviceValues; Reboot reboots; Back up reads and
// writes FOLDER/<MAC>.CNF and FOLDER/fleet.json; Apply gives each device of the file's product and
// version the file's rows (limited to onlyRecords) that differ from what it holds, then its
// DeviceValues on top (a Set is an Apply without a file).
struct JobRequest {
    JobKind kind = JobKind::Get;
    // The requested devices, resolved against what the probe found (selectFleet): the devices to
    // work on, and those reported without being touched (duplicate MACs, MACs nobody answered with).
    FleetSelection selection;
    std::string folder;  // Back up: where the files go (an existing folder)
    // Apply: the .CNF for every device (empty: none) and its plan (planApply: header, --only records).
    std::string file;
    ApplyPlan plan;
    DeviceValues values;  // Set, Apply
    bool dryRun = false;  // Apply, Set: read and compare only; the outcome lists the rows that differ
    bool reboot = false;  // Apply, Set: reboot each device that took the set
    int spacingMs = 100;  // between the starts of consecutive devices
    // The message of a device the job did not reach because it was cancelled.
    std::string cancelledMessage = "Cancelled";
};

enum class JobTimer { SessionNextDevice, SessionReplyWait, Spacing };

// What the job tells about one device, once it is over.
struct DeviceResult {
    DeviceOutcome outcome;
    std::vector<RowChange> changes;         // Set, Apply: the rows that differed (sent unless dry run)
    const ParameterTable* table = nullptr;  // the device's rows as read (Get, Back up); only during the call
};

class DeviceJobHost {
public:
    virtual ~DeviceJobHost() = default;
    virtual bool onLocalSubnet(const std::string& ip) const = 0;
    // Sends one datagram to a dotted address, or broadcasts it when the address is empty.
    virtual bool sendDatagram(const Bytes& datagram, const std::string& address) = 0;
    // Single-shot; starting a running one restarts it. Expiry goes to DeviceJob::timerExpired().
    virtual void startTimer(JobTimer timer, int ms) = 0;
    virtual void stopTimer(JobTimer timer) = 0;
    // `done` devices of `total` are over; `current` is the device being worked on now (empty between).
    virtual void jobProgress(int done, int total, const std::string& current) = 0;
    // A message a device's session gave ("Error" / "Can't find configuration file!").
    virtual void deviceMessage(const DeviceEntry&, const std::string& /*caption*/, const std::string& /*text*/) {}
    // One requested device is over (each exactly once, the untouched ones at the start).
    virtual void deviceFinished(const DeviceResult&) {}
    // Every device is over (or cancelled); a backup's fleet.json is written, or indexError says why not.
    virtual void jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) = 0;
};

class DeviceJob : private ManagementHost, private Prompter {
public:
    // pwd.ini is saved after kLogBatch devices, after each doubling of the devices done since, and at the end.
    static constexpr int kLogBatch = 1000;

    // `operatorPrompter` is asked once for the credentials of the devices pwd.ini does not know, and
    // shown a failed write of pwd.ini. `settings`: data folder, pwd.ini, reply wait; the job shares
    // one DefinitionStore and one CredentialStore among its sessions (made here when not given).
    DeviceJob(DeviceJobHost& host, Prompter& operatorPrompter, SessionSettings settings);
    ~DeviceJob() override;

    void start(JobRequest request);
    // The device in flight finishes; the rest become cancelled. Before start(): the next start
    // touches no device (a stop that came while the devices were being probed).
    void cancel();
    bool running() const { return phase_ != Phase::Idle; }
    bool cancelled() const { return cancelled_; }
    void handleDatagram(ByteView datagram);
    void timerExpired(JobTimer timer);

    const OperationOutcomes& outcomes() const { return outcomes_; }
    // pwd.ini could not take credentials that devices accepted.
    bool credentialLogFailed() const { return settings_.credentialStore->writeFailed(); }
    const CredentialStore& credentialStore() const { return *settings_.credentialStore; }

private:
    // Between: looking for the next device; Spacing: waiting for the spacing to start it; Device: one
    // device in flight.
    enum class Phase { Idle, Between, Spacing, Device };
    // Where a device is in its job.
    enum class Step { Read, Set, ReadAgain, Reboot };
    struct Current;

    template <class F>
    void intoSession(F call) {
        ++handling_;
        call();
        --handling_;
    }
    void pump();
    void startDevice(const DeviceEntry& device);
    void runStep(Step step);
    bool startReadAgain();
    void stepDone();
    void writeBackup(DeviceOutcome& outcome);
    bool prepareChanges(DeviceOutcome& outcome);
    void deviceDone(const DeviceEntry& device, DeviceOutcome outcome);
    void finish();
    void dropSession();
    int requestedCount() const;
    const std::vector<std::pair<std::string, std::string>>* valuesOf(const DeviceEntry& device) const;

    // ManagementHost of the device's session.
    std::vector<DeviceEntry> selectedDevices() const override;
    bool onLocalSubnet(const std::string& ip) const override { return host_.onLocalSubnet(ip); }
    bool sendDatagram(const Bytes& datagram, const std::string& address) override;
    void startTimer(SessionTimer timer, int ms) override;
    void stopTimer(SessionTimer timer) override;
    void definitionsChanged() override {}
    void setMonitorAddress(const std::string&) override {}
    void setMonitorPort(int) override {}
    void showProgress(const std::string&) override {}
    void operationFinished(const OperationOutcomes& outcomes) override;

    // Prompter of the device's session.
    void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    void askYesNo(const std::string&, const std::string&, Answer<bool> answer) override;
    void confirm(const ConfirmText& text, Answer<bool> answer) override;
    void askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) override;

    DeviceJobHost& host_;
    Prompter& operator_;
    SessionSettings settings_;
    ProductNames productNames_;
    JobRequest request_;
    std::map<std::string, const std::vector<std::pair<std::string, std::string>>*> valuesByMac_;
    Phase phase_ = Phase::Idle;
    bool cancelled_ = false;
    bool cancelBeforeStart_ = false;
    bool spaced_ = true;  // the spacing since the start of the last device is over
    std::size_t next_ = 0;
    std::size_t devicesDone_ = 0;  // devices that had a session
    std::size_t nextLogSave_ = kLogBatch;
    std::unique_ptr<Current> current_;
    int handling_ = 0;  // calls into the session on the stack
    bool askedOperator_ = false;
    std::optional<Credentials> typed_;
    OperationOutcomes outcomes_;
    Liveness liveness_;
};

}  // namespace tarn
