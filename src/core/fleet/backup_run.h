// The window's "Back up devices...": the selected devices, of any products, read one after the
// other (started `spacingMs` apart) by a session of their own, each written to FOLDER/<MAC>.CNF
// (the bytes `tarnctl cnf save` writes for it), and FOLDER/fleet.json, the index of what happened
// to every device. It can be cancelled at any time; the devices not reached are listed as cancelled.
//
//   start ---> device k: a session reads it ---> settled: .CNF written or the fault kept
//                 ^                                  |
//                 +---- spacing timer (k + 1) -------+---- last device, or cancelled ---> fleet.json
//
// No dialog of its own: the session's messages become the device's message. A device that pwd.ini
// does not know is read with the credentials the operator typed for the first such device (asked
// once through the Prompter); a device that refuses them is not asked again. The host owns the
// socket and the timers; nothing here blocks. The devices' sessions share one pwd.ini
// (CredentialStore), written once when the run ends.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/common/liveness.h"
#include "core/fleet/fleet_selection.h"
#include "core/manage/device_outcome.h"
#include "core/manage/management_session.h"

namespace tarn {

enum class BackupTimer { SessionNextDevice, SessionReplyWait, Spacing, Settle };

class BackupHost {
public:
    virtual ~BackupHost() = default;
    virtual bool onLocalSubnet(const std::string& ip) const = 0;
    virtual bool sendDatagram(const Bytes& datagram, const std::string& address) = 0;
    // Single-shot; starting a running one restarts it. Expiry goes to BackupRun::timerExpired().
    virtual void startTimer(BackupTimer timer, int ms) = 0;
    virtual void stopTimer(BackupTimer timer) = 0;
    // `done` devices of `total` are over; `current` is the one being read now (empty at the end).
    virtual void backupProgress(int done, int total, const std::string& current) = 0;
    // Every device is over (or cancelled) and fleet.json is written; indexError says why it is not.
    virtual void backupFinished(const OperationOutcomes& outcomes, const std::string& indexError) = 0;
};

class BackupRun : private ManagementHost, private Prompter {
public:
    // `operatorPrompter` is asked once for the credentials of devices that pwd.ini does not know.
    BackupRun(BackupHost& host, Prompter& operatorPrompter, SessionSettings settings, int spacingMs = 100);
    ~BackupRun() override;

    void start(std::vector<DeviceEntry> devices, const std::string& folder);
    void cancel();
    bool running() const { return running_; }
    void handleDatagram(ByteView datagram);
    void timerExpired(BackupTimer timer);

    const OperationOutcomes& outcomes() const { return outcomes_; }

private:
    void startDevice();
    void deviceDone();
    void finish();
    void dropSession();

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
    void askYesNo(const std::string&, const std::string&, Answer<bool> answer) override { answer(false); }
    void confirm(const ConfirmText&, Answer<bool> answer) override { answer(false); }
    void askCredentials(const CredentialsQuestion& question, Answer<std::optional<CredentialsAnswer>> answer) override;

    BackupHost& host_;
    Prompter& operator_;
    SessionSettings settings_;
    int spacingMs_;
    ProductNames productNames_;
    std::vector<DeviceEntry> devices_;
    std::string folder_;
    std::size_t next_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
    std::unique_ptr<ManagementSession> session_;
    std::optional<DeviceOutcome> current_;  // what the device's session reported so far
    std::string lastMessage_;
    bool askedThisDevice_ = false;
    bool askedOperator_ = false;
    std::optional<Credentials> typed_;
    OperationOutcomes outcomes_;
    Liveness liveness_;
};

}  // namespace tarn
