#include "core/manage/credential_flow.h"

#include "core/common/text.h"
#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"

namespace tarn {

CredentialFlow::CredentialFlow(std::string logPath, Prompter& prompter)
    : logPath_(std::move(logPath)), prompter_(prompter), logPrompter_(prompter) {}

bool CredentialFlow::logged(const CredentialLog& log, const std::string& mac) const {
    return log.FindMac(mac) >= 0 && !mustAsk(mac);
}

void CredentialFlow::credentialsFor(const DeviceEntry& device, bool askEvenIfLogged,
                                    const std::vector<DeviceEntry>& laterDevices,
                                    Answer<std::optional<Credentials>> done) {
    const std::string mac = toUpperAscii(device.mac);
    CredentialLog log(logPath_, logPrompter_);
    log.LoadLog();
    const int index = log.FindMac(mac);
    if (index >= 0 && !askEvenIfLogged && !mustAsk(mac)) {
        done(Credentials{log.entry(index).id, log.entry(index).password});
        return;
    }
    const auto refusal = askAgain_.find(mac);
    const bool refused = askEvenIfLogged || (refusal != askAgain_.end() && refusal->second);
    if (!refused && index < 0 && forEveryUnknown_) {
        done(forEveryUnknown_);
        return;
    }
    CredentialsQuestion question{"[ " + device.name + " ]", refused, 0};
    if (!refused && index < 0) {
        for (const DeviceEntry& later : laterDevices)
            if (!logged(log, toUpperAscii(later.mac))) ++question.otherUnknownDevices;
    }
    ask(question, std::move(done));
}

void CredentialFlow::ask(const CredentialsQuestion& question, Answer<std::optional<Credentials>> done) {
    prompter_.askCredentials(question, liveness_.guard([this, question, done](std::optional<CredentialsAnswer> typed) {
        if (!typed) {
            done(std::nullopt);
            return;
        }
        const auto limit = static_cast<std::size_t>(kMaxCredentialLength);
        if (typed->credentials.id.size() > limit || typed->credentials.password.size() > limit) {
            prompter_.showMessage("Error", kCredentialsTooLong, MessageIcon::Warning);
            ask(question, done);
            return;
        }
        if (typed->forEveryUnknown) forEveryUnknown_ = typed->credentials;
        done(typed->credentials);
    }));
}

void CredentialFlow::accepted(const std::string& mac, const std::string& id, const std::string& password) {
    askAgain_.erase(mac);
    CredentialLog(logPath_, logPrompter_).rememberAcceptedCredentials(mac, id, password);
}

bool CredentialFlow::refused(const std::string& mac, const Credentials& sent) {
    const auto pending = pending_.find(mac);
    if (pending == pending_.end()) {
        askAgain_[mac] = true;
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
