#include "core/manage/credential_store.h"

#include "core/manage/credential_log.h"

namespace tarn {

void CredentialStore::load(Prompter& prompter) {
    const FileStamp now = fileStamp(path_);
    if (loaded_ && *loaded_ == now) return;
    CredentialLog log(path_);
    prompter.showReports(log.LoadLog());
    logged_.clear();
    for (int i = 0; i < log.count(); ++i) {
        CredentialEntry e = log.entry(i);
        logged_.emplace(std::move(e.mac), Credentials{std::move(e.id), std::move(e.password)});
    }
    loaded_ = now;
}

std::optional<Credentials> CredentialStore::find(const std::string& mac, Prompter& prompter) {
    if (const auto kept = unsaved_.find(mac); kept != unsaved_.end()) return kept->second;
    load(prompter);
    if (const auto logged = logged_.find(mac); logged != logged_.end()) return logged->second;
    return std::nullopt;
}

void CredentialStore::remember(const std::string& mac, const Credentials& credentials, Prompter& prompter) {
    if (const auto kept = unsaved_.find(mac); kept != unsaved_.end()) {
        kept->second = credentials;
        return;
    }
    load(prompter);
    const auto logged = logged_.find(mac);
    if (logged != logged_.end() && logged->second.id == credentials.id &&
        logged->second.password == credentials.password)
        return;
    unsaved_[mac] = credentials;
}

bool CredentialStore::save(Prompter& prompter) {
    if (unsaved_.empty()) return true;
    CredentialLog log(path_);
    loaded_.reset();
    const StepResult stored = log.storeAll(unsaved_);
    prompter.showReports(stored);
    if (!stored) {
        writeFailed_ = true;
        return false;
    }
    unsaved_.clear();
    return true;
}

bool CredentialStore::clear(Prompter& prompter) {
    unsaved_.clear();
    logged_.clear();
    loaded_.reset();
    const StepResult cleared = CredentialLog(path_).ClearLog();
    prompter.showReports(cleared);
    return cleared.ok;
}

}  // namespace tarn
