#include "core/manage/credential_flow.h"

#include "core/common/text.h"
#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"

namespace tarn {

CredentialFlow::CredentialFlow(std::string logPath, Prompter& prompter, std::shared_ptr<CredentialStore> shared)
    : prompter_(prompter),
      logPrompter_(prompter),
      store_(shared ? shared : std::make_shared<CredentialStore>(std::move(logPath))),
      ownStore_(!shared) {}

bool CredentialFlow::logged(const std::string& mac) {
    return !mustAsk(mac) && store_->find(mac, logPrompter_).has_value();
}

void CredentialFlow::credentialsFor(const DeviceEntry& device, bool askEvenIfLogged,
                                    const std::vector<DeviceEntry>& laterDevices,
                                    Answer<std::optional<Credentials>> done) {
    const std::string mac = toUpperAscii(device.mac);
    const std::optional<Credentials> known = store_->find(mac, logPrompter_);
    if (known && !askEvenIfLogged && !mustAsk(mac)) {
        done(known);
        return;
    }
    const auto refusal = askAgain_.find(mac);
    const bool refused = askEvenIfLogged || (refusal != askAgain_.end() && refusal->second);
    if (!refused && !known && forEveryUnknown_) {
        done(forEveryUnknown_);
        return;
    }
    CredentialsQuestion question{"[ " + device.name + " ]", refused, 0};
    if (!refused && !known) {
        for (const DeviceEntry& later : laterDevices)
            if (!logged(toUpperAscii(later.mac))) ++question.otherUnknownDevices;
    }
    ask(question, std::move(done));
}

void CredentialFlow::ask(const CredentialsQuestion& question, Answer<std::optional<Credentials>> done) {
    prompter_.askCredentials(question, liveness_.guard([this, question, done](std::optional<CredentialsAnswer> typed) {
        if (!typed) {
            done(std::nullopt);
            return;
        }
        const Credentials& c = typed->credentials;
        const auto limit = static_cast<std::size_t>(kMaxCredentialLength);
        if (c.id.size() > limit || c.password.size() > limit) {
            prompter_.showMessage("Error", kCredentialsTooLong, MessageIcon::Warning);
            ask(question, done);
            return;
        }
        // What the device would accept, the log must keep; otherwise nothing goes to the device.
        const auto idProblem = credentialTextProblem(c.id);
        const auto passwordProblem = credentialTextProblem(c.password);
        if (idProblem || passwordProblem) {
            prompter_.showMessage("Error",
                                  std::string(idProblem ? "The ID" : "The password") + " cannot be kept in " +
                                      kCredentialLogFileName + ": " + (idProblem ? *idProblem : *passwordProblem) +
                                      ". Nothing was sent to the device.",
                                  MessageIcon::Warning);
            ask(question, done);
            return;
        }
        if (typed->forEveryUnknown) forEveryUnknown_ = c;
        done(c);
    }));
}

void CredentialFlow::accepted(const std::string& mac, const std::string& id, const std::string& password) {
    askAgain_.erase(mac);
    store_->remember(mac, {id, password}, logPrompter_);
}

bool CredentialFlow::saveAccepted() { return !ownStore_ || store_->save(logPrompter_); }

bool CredentialFlow::refused(const std::string& mac, const Credentials& sent) {
    const auto pending = pending_.find(mac);
    if (pending == pending_.end()) {
        askAgain_[mac] = true;
        return false;
    }
    // The device took new credentials from a set and refuses the old ones: the log follows.
    const std::string id = pending->second.id.empty() ? sent.id : pending->second.id;
    const std::string password = pending->second.password.empty() ? sent.password : pending->second.password;
    store_->remember(mac, {id, password}, logPrompter_);
    pending_.erase(pending);
    return true;
}

void CredentialFlow::clear() {
    pending_.clear();
    askAgain_.clear();
    store_->clear(prompter_);
}

}  // namespace tarn
