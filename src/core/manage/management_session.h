// The parameter view's management work, without a widget: loading the parameters of the selected
// devices, Set, Reboot, Clear and every reply to them. The view (or tarnctl) implements
// ManagementHost: the selection, the socket, two timers, the status line; questions go through the
// Prompter; where credentials come from and when pwd.ini changes is the CredentialFlow's.
//
// One operation runs at a time; starting one ends the previous. Each operation is in one phase:
//
//                 start: selection checked; for a set every marked value checked first
//                 (one message lists the refused ones, nothing is sent) and confirmed
//                      |
//                      v
//   +--------> Sending ---- one device per step: credentials (log or "[ name ]" dialog), request;
//   |              |         gets are spaced by the NextDevice timer, sets and reboots are not
//   |              v
//   |          Waiting ---- a reply counts only while its operation lives and only for a request id
//   |              |         it sent; each device counts once
//   |              v         every device answered, or the ReplyWait timer ran out
//   |          (complete)
//   |   next   |  refused: "Error occured. Try again !!"; a set or reboot goes again, with the same
//   +----------+           marked values, to the devices that refused it, asking their credentials;
//     part or  |           a get reads the device again
//     retry    |  get or set that did not fit one datagram: the next part, to every device
//              |  set: the sent rows show what the devices now hold, marks cleared, reboot question
//              v
//            Idle ------- a reply now is late: ignored, reported to the host (Traffic)
//
// Questions (the Set and Reboot confirmations, the password dialog, the reboot question after a
// set) are states of their own: the session notes which answer it waits for, asks, and goes on in
// the answer's handler, whether the answer comes inside the call (tarnctl, tests) or later (the
// window). Replies and timers that come while a question is open are handled at once by the phase
// the operation is in; a command that comes then is not taken (the window's questions are modal, so
// only a program can send one), so no question is ever asked on top of another.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/common/bytes.h"
#include "core/common/liveness.h"
#include "core/common/prompter.h"
#include "core/discovery/addressing.h"
#include "core/discovery/device_entry.h"
#include "core/discovery/management_message.h"
#include "core/discovery/selection_identity.h"
#include "core/discovery/target_table.h"
#include "core/manage/credential_flow.h"
#include "core/manage/device_outcome.h"
#include "core/manage/management_requests.h"
#include "core/params/definition_store.h"
#include "core/params/parameter_table.h"

namespace tarn {

inline constexpr const char* kAuthFailedText = "Error occured. Try again !!";
inline constexpr const char* kRebootDoneText = "Shut down completed!. Now rebooting...";
inline constexpr const char* kMessageLengthError = "Message length error";
// The messages of a device's outcome: no request went out for want of credentials, or none came back.
inline constexpr const char* kNoCredentials = "No ID and password";
inline constexpr const char* kNoReply = "No reply";
// The operator cancelled the password dialog, or stopped a read: not a failure of the device.
inline constexpr const char* kCredentialsCancelled = "Password dialog cancelled";
inline constexpr const char* kReadStopped = "Stopped";

// The confirmations of the device commands.
inline const ConfirmText kSetConfirm{ConfirmKind::SetConfirm,
                                     "Set Confirm",
                                     "You are to update parameter values !",
                                     "               Do you want to continue ? ",
                                     "",
                                     ""};
inline const ConfirmText kRebootConfirm{ConfirmKind::RebootConfirm,
                                        "Reboot Confirm",
                                        "You are to reboot the device(s) !",
                                        "It makes device(s) sleep somewhile.",
                                        "Do you want to reboot device(s) now? ",
                                        ""};
inline const ConfirmText kRebootAfterSet{ConfirmKind::RebootAfterSet,
                                         "Reboot Confirm",
                                         "Parameter values updated !",
                                         "You have to reboot device(s) to apply changes.",
                                         "Do you want to reboot device(s) now? ",
                                         ""};

enum class SessionTimer { NextDevice, ReplyWait };

// What happened, for observers that are not the list (tarnctl, tests).
struct SessionEvent {
    enum class Kind {
        ValuesReceived,
        SetAnswered,
        AuthFailed,
        RebootDone,
        BrokenReply,  // a values reply whose length or checksum does not add up
        OperationFinished
    } kind;
    int target = -1;                   // the device (TargetTable index), for replies
    std::vector<std::string> missing;  // OperationFinished: devices that did not answer
};

class ManagementHost {
public:
    virtual ~ManagementHost() = default;
    // The selected devices of the tree, in display order.
    virtual std::vector<DeviceEntry> selectedDevices() const = 0;
    virtual bool onLocalSubnet(const std::string& ip) const = 0;
    // Sends one datagram to a dotted address, or broadcasts it when the address is empty.
    virtual bool sendDatagram(const Bytes& datagram, const std::string& address) = 0;
    // Single-shot timers; starting a running one restarts it. Expiry is reported to timerExpired().
    virtual void startTimer(SessionTimer timer, int ms) = 0;
    virtual void stopTimer(SessionTimer timer) = 0;
    // The current definition set (or none) changed: groups to offer, or none.
    virtual void definitionsChanged() = 0;
    // Where the I/O monitor connects in Network mode.
    virtual void setMonitorAddress(const std::string& address) = 0;
    virtual void setMonitorPort(int port) = 0;
    // Progress of a long operation for the status line; empty when it is over.
    virtual void showProgress(const std::string& text) = 0;
    virtual void focusList() {}
    // The operator kept the edits of the listed devices: the tree marks these devices again (and
    // loads nothing), so that the list and the selection agree.
    virtual void restoreSelection(const std::vector<DeviceEntry>&) {}
    virtual void sessionEvent(const SessionEvent&) {}
    // A reply that came after its operation ended; it changed nothing.
    virtual void lateReply(ByteView) {}
    // A read began: the list now shows the values of these devices (shownDevices()).
    virtual void shownDevicesChanged() {}
    // The number of selected devices, where counting is cheaper than listing them.
    virtual int selectionCount() const { return static_cast<int>(selectedDevices().size()); }
    // A Get (every part of it), a Set part or a Reboot is over: one outcome per device it was for,
    // in the order of the selection. A refused set or reboot reports here before it goes again.
    virtual void operationFinished(const OperationOutcomes&) {}
};

struct SessionSettings {
    std::string dataDir;        // .dcf files and prodid.ini, with a trailing "/"
    std::string logPath;        // pwd.ini
    int deviceSpacingMs = 100;  // between the get requests of consecutive devices
    int replyWaitMs = 3000;     // after the last request of a part, for the remaining replies
    // The definition sets of the run, when several sessions share them; else the session has its own.
    std::shared_ptr<DefinitionStore> definitions;
    // pwd.ini of the run, when several sessions share it: the run writes it (CredentialStore::save);
    // else the session has its own and writes it at the end of each operation.
    std::shared_ptr<CredentialStore> credentialStore;
    // Where request ids come from; none: the system's random source.
    RequestIdSource requestIds;
};

class ManagementSession {
public:
    ManagementSession(ManagementHost& host, Prompter& prompter, SessionSettings settings);

    void setTiming(int deviceSpacingMs, int replyWaitMs) {
        settings_.deviceSpacingMs = deviceSpacingMs;
        settings_.replyWaitMs = replyWaitMs;
    }

    // Commands. Not taken while a question of the session is open.
    void RequestParameterValues(int group);  // group 0: load the .dcf and read the whole device
    void SelectGroup(int group);
    // Stop: a read ends now. The devices not asked yet get nothing and those that have not answered
    // are no longer waited for; both are reported cancelled, and no further part is read.
    void stopReading();
    // Set writes only to the devices whose values the list shows, and only while they are the
    // selected ones (showsSelection()); otherwise it says what the list shows and sends nothing.
    void set();
    void reboot();
    // Clear: pwd.ini emptied, every value and mark of the list cleared, the operation ended.
    void clear();
    void handleDatagram(ByteView datagram);
    void timerExpired(SessionTimer timer);
    // The next get asks for the device's credentials even when pwd.ini knows it.
    void askCredentials(const std::string& mac) { credentials_.askAgain(mac); }

    ParameterTable& table() { return table_; }
    const ParameterTable& table() const { return table_; }
    const DefinitionStore& definitions() const { return *store_; }
    // The pending credential change of a device (by MAC): a set carrying its own ID or password was
    // answered; used up by its next refusal.
    bool credentialChangePending(const std::string& mac) const { return credentials_.changePending(mac); }
    // After a set of one device: when the set gave the device a new ID or password, reads its values
    // again, so that its refusal of the old ones moves pwd.ini to the new ones. Whether it did.
    bool readAgainAfterCredentialChange(const DeviceEntry& device);
    // pwd.ini could not take credentials that devices accepted (the session goes on with them).
    bool credentialLogFailed() const { return credentials_.logWriteFailed(); }
    bool busy() const { return op_.phase != Phase::Idle || question_ != Question::None; }
    bool reading() const { return op_.kind == Kind::Get && op_.phase != Phase::Idle; }
    // The devices whose values the list shows: those of the last read.
    const std::vector<DeviceEntry>& shownDevices() const { return listed_; }
    // Whether they are the selected devices. Browsing the tree moves the selection without reading;
    // Set, Save and Compare wait until it is read.
    bool showsSelection() const;
    // What the list says over its rows while they are not ("Values of Gateway-North. Press Enter to
    // read the 3 selected devices"); empty while they are.
    std::string selectionNotice() const;
    bool asking() const { return question_ != Question::None; }

private:
    enum class Kind { Get, Set, Reboot };
    static const char* operationName(Kind kind) {
        return kind == Kind::Get ? "Get" : kind == Kind::Set ? "Set" : "Reboot";
    }
    enum class Phase { Idle, Sending, Waiting };
    // The answer the session waits for; None when no question is open.
    enum class Question { None, SetConfirm, RebootConfirm, RebootAfterSet, Credentials, DiscardEdits };
    struct Operation {
        Kind kind = Kind::Get;
        Phase phase = Phase::Idle;
        int group = 0;
        std::vector<DeviceEntry> devices;
        std::vector<int> targets;  // device index per target; a retry goes to some devices only
        ByteOrder order = ByteOrder::Little;
        bool firstPart = true;  // later parts reuse the credentials of the first
        bool askEvenIfLogged = false;
        int partStart = 0;                     // get: offset into the group of this part
        int continuation = 0;                  // where the next part starts; 0 when this is the last
        std::optional<Bytes> body;             // the same for every device of a part, built for the first
        std::vector<SentValue> values;         // set: the rows of this part and the text the device will show
        std::optional<Credentials> ownChange;  // set: the device's own new ID / password
        int nextTarget = 0;
        int sent = 0;
        std::vector<char> answered;
        int answeredCount = 0;
        std::vector<char> valueSeen;  // per record: a value of this operation is shown
        std::vector<int> refusedTargets;
        bool credentialsChanged = false;
        std::vector<std::string> faults;  // per target: what was wrong with its reply, empty when nothing
        std::string notSent;              // why the sending stopped before the last target
        OutcomeStatus notSentStatus = OutcomeStatus::Failed;  // Cancelled when the operator chose it
        bool stopped = false;                                 // Stop: no retry, no further part
        OperationOutcomes outcomes;                           // per device; a device keeps the first fault of any part
    };

    // Operations.
    std::optional<std::vector<DeviceEntry>> checkedSelection();
    void beginOperation(Kind kind, int group, std::vector<DeviceEntry> devices);
    void endOperation();
    bool startGet(int group);
    void sendNextGet();
    void sendGetTo(int target, const Credentials& credentials);
    void doSet();
    void sendSetPart(std::vector<DeviceEntry> devices);
    void refuseCredentials(const DeviceEntry& device);
    void doReboot();
    void sendToTargets();
    void askCredentialsOf(int target, bool askEvenIfLogged, std::function<void(const Credentials&)> then);
    bool sendRequest(int target, CommandCode command, ManagementOperation use);
    void finishSending();
    void complete();
    void retryRefused();
    void finishSet(const std::vector<std::string>& missing);
    std::vector<std::string> silentDevices() const;
    void noteOutcomes();
    void reportOutcomes(OutcomeStatus allStatus = OutcomeStatus::Ok, const std::string& message = {});
    const DeviceEntry& deviceOf(int target) const;

    // Replies.
    bool firstAnswer(int target);
    void checkComplete();
    bool verifyChecksum(int target, const ReplyHeader& reply);
    void noteFault(int target, const std::string& text);
    void valuesReply(int target, const ReplyHeader& reply);
    void setReply(int target, const ReplyHeader& reply);
    void authFailed(int target);
    void rebootDone(int target);
    void applyValue(int record, const std::string& text);
    void captureMonitorTarget(bool& dhcpSeen, const std::string& name, const std::string& value);

    ManagementHost& host_;
    Prompter& prompter_;
    SessionSettings settings_;
    CredentialFlow credentials_;
    std::shared_ptr<DefinitionStore> store_;
    ParameterTable table_;
    TargetTable targets_;
    Operation op_;
    int productNumber_ = 0;
    int selectedGroup_ = 0;
    bool getScanDhcp_ = false;
    bool setScanDhcp_ = false;
    int generation_ = 0;  // counts operations
    Question question_ = Question::None;
    std::vector<DeviceEntry> listed_;  // the devices whose values the list shows
    bool sendingTargets_ = false;      // sendToTargets() is on the stack
    Liveness liveness_;
};

}  // namespace tarn
