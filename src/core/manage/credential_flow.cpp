#include "core/manage/credential_flow.h"

#include "core/common/text.h"
#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"

namespace tarn {

CredentialFlow::CredentialFlow(std::string logPath, Prompter& prompter, std::shared_ptr<CredentialStore> shared)
    : prompter_(prompter),
      logPrompter_(prompter),
      store_(shared ? std::move(shared) : std::make_shared<CredentialStore>(std::move(logPath))),
      ownStore_(!shared) {}

std::optional<Credentials> CredentialFlow::credentialsFor(const DeviceEntry& device, bool askEvenIfLogged) {
    const std::string mac = toUpperAscii(device.mac);
    if (!askEvenIfLogged && !mustAsk(mac)) {
        if (auto logged = store_->find(mac, logPrompter_)) return logged;
    }
    for (;;) {
        auto typed = prompter_.askCredentials("[ " + device.name + " ]");
        if (!typed) return std::nullopt;
        const auto limit = static_cast<std::size_t>(kMaxCredentialLength);
        if (typed->id.size() > limit || typed->password.size() > limit) {
            prompter_.showMessage("Error", kCredentialsTooLong, MessageIcon::Warning);
            continue;
        }
        // What the device would accept, the log must keep; otherwise nothing goes to the device.
        const auto idProblem = credentialTextProblem(typed->id);
        const auto passwordProblem = credentialTextProblem(typed->password);
        if (!idProblem && !passwordProblem) return typed;
        prompter_.showMessage("Error",
                              std::string(idProblem ? "The ID" : "The password") + " cannot be kept in " +
                                  kCredentialLogFileName + ": " + (idProblem ? *idProblem : *passwordProblem) +
                                  ". Nothing was sent to the device.",
                              MessageIcon::Warning);
    }
}

void CredentialFlow::accepted(const std::string& mac, const std::string& id, const std::string& password) {
    askAgain_.erase(mac);
    store_->remember(mac, {id, password}, logPrompter_);
}

bool CredentialFlow::saveAccepted() { return !ownStore_ || store_->save(logPrompter_); }

bool CredentialFlow::refused(const std::string& mac, const Credentials& sent) {
    const auto pending = pending_.find(mac);
    if (pending == pending_.end()) {
        askAgain(mac);
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
