// The credentials of the management operations: where a device's ID and password come from (the
// log, or the password dialog), when the log changes, and the change of a device's own ID or
// password that a set carries.
//
// The log only ever takes credentials a device has accepted: typed credentials go into a request
// first, and into pwd.ini once the device answers that request with anything but a refusal. A set
// that gives a device a new ID or password makes it pending once the device has answered the set;
// the device's next refusal of the old credentials then moves its log entry to the new ones.
//
// pwd.ini is the CredentialStore's: written once at the end of each operation (saveAccepted), or,
// when the store is shared by the sessions of a run, once by the run.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/common/liveness.h"
#include "core/common/prompter.h"
#include "core/discovery/device_entry.h"
#include "core/manage/credential_store.h"

namespace tarn {

inline constexpr const char* kCredentialsTooLong = "The ID and the password can each be at most 255 characters long.";

class CredentialFlow {
public:
    // The store of a run (shared, written by the run), or none: a store of the flow's own, written at
    // the end of each operation.
    CredentialFlow(std::string logPath, Prompter& prompter, std::shared_ptr<CredentialStore> shared = nullptr);

    // A new operation: each damaged-log report is shown once more.
    void newOperation() {
        logPrompter_.newOperation();
        forEveryUnknown_.reset();
    }

    // The ID and password for a request to the device, handed to `done` (inside the call when no
    // dialog is needed): from the log, from the answer ticked "for every unknown device" earlier in
    // this operation, or typed in the password dialog titled "[ name ]". The dialog comes also for a
    // logged device when `askEvenIfLogged` (a retry after a refusal) or when the device refused its
    // credentials (askAgain). `laterDevices`: the devices of the operation still to come, so the
    // dialog can offer its answer for the unknown ones among them. Nothing on Cancel. The caller
    // keeps its own liveness: `done` is not called once the flow is gone.
    void credentialsFor(const DeviceEntry& device, bool askEvenIfLogged, const std::vector<DeviceEntry>& laterDevices,
                        Answer<std::optional<Credentials>> done);

    // Ask for the device's credentials at its next request, even when the log knows it.
    void askAgain(const std::string& mac) { askAgain_[mac] = false; }
    bool mustAsk(const std::string& mac) const { return askAgain_.count(mac) > 0; }

    // The device answered a request carrying these credentials: the log takes them (a new entry, or
    // the device's entry when it held other texts) at the end of the operation.
    void accepted(const std::string& mac, const std::string& id, const std::string& password);
    // The end of an operation: pwd.ini takes what the devices accepted, in one write (unless the
    // store is the run's). False when it could not be written.
    bool saveAccepted();
    // pwd.ini could not take credentials that a device has: the session goes on with them.
    bool logWriteFailed() const { return store_->writeFailed(); }

    // A set carrying the device's own new ID and/or password (empty: unchanged) was answered.
    void setChangePending(const std::string& mac, const Credentials& change) { pending_[mac] = change; }
    bool changePending(const std::string& mac) const { return pending_.count(mac) > 0; }
    // The device refused a request: with a change pending the log moves to the new credentials (from
    // `sent` what did not change) and true is returned; otherwise the device is asked again next time.
    bool refused(const std::string& mac, const Credentials& sent);

    // Empties pwd.ini and forgets every pending change.
    void clear();

private:
    // The log reports a damaged file each time it is read; one operation reads it for every device,
    // so each report is shown once per operation.
    class OncePrompter : public Prompter {
    public:
        explicit OncePrompter(Prompter& to) : to_(to) {}
        void newOperation() { shown_.clear(); }
        void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
            if (shown_.insert(caption + '\n' + text).second) to_.showMessage(caption, text, icon);
        }
        void askYesNo(const std::string& caption, const std::string& text, Answer<bool> answer) override {
            to_.askYesNo(caption, text, std::move(answer));
        }
        void confirm(const ConfirmText& text, Answer<bool> answer) override { to_.confirm(text, std::move(answer)); }
        void askCredentials(const CredentialsQuestion& question,
                            Answer<std::optional<CredentialsAnswer>> answer) override {
            to_.askCredentials(question, std::move(answer));
        }

    private:
        Prompter& to_;
        std::set<std::string> shown_;
    };

    Prompter& prompter_;
    OncePrompter logPrompter_;
    void ask(const CredentialsQuestion& question, Answer<std::optional<Credentials>> done);
    bool logged(const std::string& mac);

    std::shared_ptr<CredentialStore> store_;
    bool ownStore_;
    std::map<std::string, bool> askAgain_;  // MAC: true when the device refused what it was sent
    std::map<std::string, Credentials> pending_;
    std::optional<Credentials> forEveryUnknown_;
    Liveness liveness_;
};

}  // namespace tarn
