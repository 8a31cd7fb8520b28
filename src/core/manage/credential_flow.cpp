#include "core/manage/credential_flow.h"

#include "core/common/text.h"
#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"

namespace tarn {

CredentialFlow::CredentialFlow(std::string logPath, Prompter& prompter)
    : logPath_(std::move(logPath)), prompter_(prompter), logPrompter_(prompter) {}

std::optional<Credentials> CredentialFlow::credentialsFor(const DeviceEntry& device, bool askEvenIfLogged) {
    const std::string mac = toUpperAscii(device.mac);
    CredentialLog log(logPath_, logPrompter_);
    log.LoadLog();
    const int index = log.FindMac(mac);
    if (index >= 0 && !askEvenIfLogged && !mustAsk(mac))
        return Credentials{log.entry(index).id, log.entry(index).password};
    const auto limit = static_cast<std::size_t>(kMaxCredentialLength);
    for (;;) {
        auto typed = prompter_.askCredentials("[ " + device.name + " ]");
        if (!typed) return std::nullopt;
        if (typed->id.size() <= limit && typed->password.size() <= limit) return typed;
        prompter_.showMessage("Error", kCredentialsTooLong, MessageIcon::Warning);
    }
}

void CredentialFlow::accepted(const std::string& mac, const std::string& id, const std::string& password) {
    askAgain_.erase(mac);
    CredentialLog(logPath_, logPrompter_).rememberAcceptedCredentials(mac, id, password);
}

bool CredentialFlow::refused(const std::string& mac, const Credentials& sent) {
    const auto pending = pending_.find(mac);
    if (pending == pending_.end()) {
        askAgain(mac);
        return false;
    }
    // The device took new credentials from a set and refuses the old ones: the log follows.
    const std::string id = pending->second.id.empty() ? sent.id : pending->second.id;
    const std::string password = pending->second.password.empty() ? sent.password : pending->second.password;
    CredentialLog(logPath_, logPrompter_).updateChangedCredentials(mac, id, password);
    pending_.erase(pending);
    return true;
}

void CredentialFlow::clear() {
    pending_.clear();
    askAgain_.clear();
    CredentialLog(logPath_, prompter_).ClearLog();
}

}  // namespace tarn
