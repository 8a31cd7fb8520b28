// The parameter view's management work, without a widget: loading the parameters of the selected
// devices, Set, Reboot, every reply to them, the credentials they carry, and .CNF files over the
// rows. The view (or tarnctl) implements ManagementHost: the selection, the socket, two timers,
// the status line; questions go through the Prompter.
//
// One operation runs at a time; starting one ends the previous (its late replies no longer match).
//
//            start (checks, confirmation)
//                 |
//                 v
//    +-------> SENDING --- one device per step: credentials (log or dialog), request, send;
//    |            |         gets are spaced by the NextDevice timer, sets and reboots are not
//    |            v
//    |        WAITING ---- replies are matched by request id; each device counts once
//    |            |
//    |            v         every device answered, or the ReplyWait timer ran out
//    |        COMPLETE --- refused credentials: "Error occured. Try again !!", values read again
//    |            |         changed credentials: the log follows, values read again
//    +-- next ----+         get or set that did not fit one datagram: the next part, to every device
//        part     |         set: marks cleared, the reboot question once (naming silent devices)
//                 v
//               IDLE
//
// Guarantees: the handling of a reply, a timer or a command never runs inside another one. What
// arrives while a dialog of the session is open waits and is handled, in order, once it closes;
// so a dialog never finds its operation changed under it, and no question is asked on top of
// another.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/common/bytes.h"
#include "core/common/prompter.h"
#include "core/discovery/addressing.h"
#include "core/discovery/device_entry.h"
#include "core/discovery/management_message.h"
#include "core/discovery/selection_identity.h"
#include "core/discovery/target_table.h"
#include "core/params/definition_store.h"
#include "core/params/parameter_table.h"

namespace tarn {

inline constexpr const char* kAuthFailedText = "Error occured. Try again !!";
inline constexpr const char* kRebootDoneText = "Shut down completed!. Now rebooting...";
inline constexpr const char* kMessageLengthError = "Message length error";

// The confirmations of the device commands.
inline const ConfirmText kSetConfirm{"Set Confirm", "You are to update parameter values !",
                                     "               Do you want to continue ? ", "", ""};
inline const ConfirmText kRebootConfirm{"Reboot Confirm", "You are to reboot the device(s) !",
                                        "It makes device(s) sleep somewhile.", "Do you want to reboot device(s) now? ",
                                        ""};
inline const ConfirmText kRebootAfterSet{"Reboot Confirm", "Parameter values updated !",
                                         "You have to reboot device(s) to apply changes.",
                                         "Do you want to reboot device(s) now? ", ""};

enum class SessionTimer { NextDevice, ReplyWait };

// What happened, for observers that are not the list (tarnctl, tests).
struct SessionEvent {
    enum class Kind { ValuesReceived, SetAnswered, AuthFailed, RebootDone, OperationFinished } kind;
    int target = -1;                   // the device (TargetTable index), for replies
    std::vector<std::string> missing;  // OperationFinished: devices that did not answer
};

class ManagementHost {
public:
    virtual ~ManagementHost() = default;
    // The selected devices of the tree, in display order.
    virtual std::vector<DeviceEntry> selectedDevices() const = 0;
    virtual bool isOnLocalSubnet(const std::string& ip) const = 0;
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
    virtual void sessionEvent(const SessionEvent&) {}
};

struct SessionSettings {
    std::string dataDir;        // .dcf files and prodid.ini, with a trailing "/"
    std::string logPath;        // pwd.ini
    int deviceSpacingMs = 100;  // between the get requests of consecutive devices
    int replyWaitMs = 3000;     // after the last request of a part, for the remaining replies
};

class ManagementSession {
public:
    ManagementSession(ManagementHost& host, Prompter& prompter, SessionSettings settings);

    void seedRequestIds(std::uint32_t seed) { requestIds_.seed(seed); }
    void setTiming(int deviceSpacingMs, int replyWaitMs) {
        settings_.deviceSpacingMs = deviceSpacingMs;
        settings_.replyWaitMs = replyWaitMs;
    }

    // Commands. Each waits its turn when the session is busy.
    void RequestParameterValues(int group);  // group 0: load the .dcf and read the whole device
    void SelectGroup(int group);
    void set();
    void reboot();
    bool saveConfiguration(const std::string& path);
    bool loadConfiguration(const std::string& path);
    void handleDatagram(ByteView datagram);
    void timerExpired(SessionTimer timer);

    ParameterTable& table() { return table_; }
    const DefinitionStore& definitions() const { return store_; }
    // The pending credential change of a device (by MAC), set by a set that carries its own ID or
    // password, used up by its next AuthFailed.
    bool credentialChangePending(const std::string& mac) const { return pendingChanges_.count(mac) > 0; }

private:
    enum class Kind { None, Get, Set, Reboot };
    struct Operation {
        Kind kind = Kind::None;
        bool active = false;
        int group = 0;
        std::vector<DeviceEntry> devices;
        ByteOrder order = ByteOrder::Little;
        bool firstPart = true;  // later parts reuse the credentials of the first
        int partStart = 0;      // get: offset into the group of this part
        int continuation = 0;   // where the next part starts; 0 when this is the last
        Bytes body;
        bool bodyReady = false;
        int nextDevice = 0;
        int sent = 0;
        bool allSent = false;
        std::vector<char> answered;
        int answeredCount = 0;
        std::vector<char> valueSeen;  // per record: a value of this operation is shown
        std::vector<int> refusedRows;
        bool authRefused = false;
        bool credentialsChanged = false;
    };
    struct PendingChange {
        std::string id;
        std::string password;
    };
    // The credential log reports a damaged file each time it is read; one operation reads it for
    // every device, so each report is shown once per operation.
    class LogPrompter : public Prompter {
    public:
        explicit LogPrompter(Prompter& to) : to_(to) {}
        void newOperation() { shown_.clear(); }
        void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
            if (shown_.insert(caption + '\n' + text).second) to_.showMessage(caption, text, icon);
        }
        bool askYesNo(const std::string& caption, const std::string& text) override {
            return to_.askYesNo(caption, text);
        }
        bool confirm(const ConfirmText& text) override { return to_.confirm(text); }
        std::optional<Credentials> askCredentials(const std::string& title) override {
            return to_.askCredentials(title);
        }

    private:
        Prompter& to_;
        std::set<std::string> shown_;
    };

    void run(std::function<void()> work);

    // Operations.
    std::optional<std::vector<DeviceEntry>> checkedSelection();
    void beginOperation(Kind kind, int group, std::vector<DeviceEntry> devices);
    bool startGet(int group);
    void sendNextGet();
    void doSet();
    void doReboot();
    bool sendRequest(int target, CommandCode command, ManagementOperation use);
    std::optional<Credentials> credentialsFor(const DeviceEntry& device, bool consultAskFlag, bool titled);
    void finishSending();
    void complete(bool timedOut);
    void finishSet(const std::vector<std::string>& missing);
    std::vector<std::string> silentDevices() const;

    // Replies.
    bool firstAnswer(int target);
    void checkComplete();
    void verifyChecksum(const ReplyHeader& reply);
    void valuesReply(int target, const ReplyHeader& reply);
    void setReply(int target, const ReplyHeader& reply);
    void authFailed(int target);
    void rebootDone(int target);
    void applyValue(int record, const std::string& text);
    void captureMonitorTarget(bool& dhcpSeen, const std::string& name, const std::string& value);

    ConfigurationHeader selectionHeader(const std::vector<DeviceEntry>& devices) const;
    std::string logPath() const { return settings_.logPath; }

    ManagementHost& host_;
    Prompter& prompter_;
    LogPrompter logPrompter_;
    SessionSettings settings_;
    DefinitionStore store_;
    ParameterTable table_;
    TargetTable targets_;
    RequestIdGenerator requestIds_;
    Operation op_;
    int productNumber_ = 0;
    int selectedGroup_ = 0;
    std::map<std::string, PendingChange> pendingChanges_;
    std::set<std::string> askCredentialsFor_;  // devices whose credentials were refused
    bool getScanDhcp_ = false;
    bool setScanDhcp_ = false;
    int generation_ = 0;  // counts operations
    bool busy_ = false;
    std::deque<std::function<void()>> waiting_;
};

}  // namespace tarn
