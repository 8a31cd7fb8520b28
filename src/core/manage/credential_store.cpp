#include "core/manage/credential_store.h"

namespace tarn {

void CredentialStore::load(Prompter& prompter) {
    const FileStamp now = fileStamp(path_);
    if (loaded_ && *loaded_ == now) return;
    log_.reset();  // one log in memory at a time
    log_.emplace(path_);
    prompter.showReports(log_->LoadLog());
    loaded_ = now;
}

std::optional<Credentials> CredentialStore::logged(const std::string& mac) const {
    const int index = log_ ? log_->FindMac(mac) : -1;
    if (index < 0) return std::nullopt;
    CredentialEntry e = log_->entry(index);
    return Credentials{std::move(e.id), std::move(e.password)};
}

std::optional<Credentials> CredentialStore::find(const std::string& mac, Prompter& prompter) {
    if (const auto kept = unsaved_.find(mac); kept != unsaved_.end()) return kept->second;
    load(prompter);
    return logged(mac);
}

void CredentialStore::remember(const std::string& mac, const Credentials& credentials, Prompter& prompter) {
    if (const auto kept = unsaved_.find(mac); kept != unsaved_.end()) {
        kept->second = credentials;
        return;
    }
    load(prompter);
    if (const auto known = logged(mac); known && known->id == credentials.id && known->password == credentials.password)
        return;
    unsaved_[mac] = credentials;
}

bool CredentialStore::save(Prompter& prompter) {
    if (unsaved_.empty()) return true;
    // The save reads the file again: the log read before is let go first.
    log_.reset();
    loaded_.reset();
    CredentialLog log(path_);
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
    log_.reset();
    loaded_.reset();
    const StepResult cleared = CredentialLog(path_).ClearLog();
    prompter.showReports(cleared);
    return cleared.ok;
}

}  // namespace tarn
