#include "core/manage/credential_log.h"

#include "core/common/file_io.h"
#include "core/common/text.h"
#include "core/common/token_reader.h"

namespace tarn {

namespace {

constexpr mode_t kOwnerOnly = 0600;
// kMaxCredentialEntries entries of long texts.
constexpr std::size_t kMaxLogFileSize = 512u << 20;
constexpr const char* kOutOfRange = "Out of range of the database !";
constexpr const char* kFatalError = "Fatal Error";

StepResult credentialIndexOutOfRange() { return StepResult::failure(kFatalError, kOutOfRange, MessageIcon::Critical); }

std::string encodeBlanks(const std::string& text) { return replaceAll(text, " ", kBlankCode); }
std::string decodeBlanks(const std::string& text) { return replaceAll(text, kBlankCode, " "); }

// A token of the file: a MAC, or an ID or password with its blanks written as "-/space/-".
constexpr std::size_t kMaxLogTokenLength = kMaxCredentialTextLength * 9;

bool writableToken(const std::string& token) {
    if (token.empty() || token.size() > kMaxLogTokenLength) return false;
    for (char c : token) {
        if (isBlankChar(c)) return false;
    }
    return true;
}

// The line (from 1) of the first character after any white space from the offset on.
int lineAt(std::string_view text, std::size_t offset) {
    while (offset < text.size() && isBlankChar(text[offset])) ++offset;
    int line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

}  // namespace

std::optional<std::string> credentialTextProblem(const std::string& text) {
    if (text.empty()) return "it is empty";
    if (text.size() > kMaxCredentialTextLength)
        return "it is longer than " + std::to_string(kMaxCredentialTextLength) + " characters";
    if (text.find(kNotLatin1) != std::string::npos) return "it holds a character outside Latin-1";
    if (holdsControlCharacter(text)) return "it holds a tab or another control character";
    if (decodeBlanks(encodeBlanks(text)) != text)
        return std::string("it holds \"") + kBlankCode + "\", which pwd.ini reads back as a blank";
    return std::nullopt;
}

LabelledEntries CredentialLog::parse(std::string_view text) {
    return readLabelledEntries(text, {"MAC", "ID", "Password"}, kMaxCredentialEntries, kMaxLogTokenLength);
}

std::string CredentialLog::formatEntry(int number, const CredentialEntry& entry) {
    return "\n[" + std::to_string(number) + "]\nMAC : " + entry.mac + " \nID : " + entry.id +
           " \nPassword : " + entry.password + " \n";
}

StepResult CredentialLog::LoadLog() {
    entries_.clear();
    firstOfMac_.clear();
    count_ = current_ = 0;
    unreadTail_.clear();
    const FileContent file = readWholeFile(path_, kMaxLogFileSize);
    // A missing log is an empty one; the file comes into being with its first entry.
    if (file.status == ReadStatus::Missing) return {};
    if (file.status != ReadStatus::Ok)
        return StepResult::failure("Error", "Can't read the ID/password log " + path_, MessageIcon::Critical);
    LabelledEntries read = parse(file.text);
    // Every text the password dialog takes fits; longer ones end the reading there.
    for (std::size_t i = 0; i < read.entries.size(); ++i) {
        const auto& tokens = read.entries[i];
        CredentialEntry e{tokens[0], decodeBlanks(tokens[1]), decodeBlanks(tokens[2])};
        if (e.mac.size() > kMaxCredentialTextLength || e.id.size() > kMaxCredentialTextLength ||
            e.password.size() > kMaxCredentialTextLength) {
            read.stop = TableStop::TokenTooLong;
            read.stopOffset = read.entryOffsets[i];
            read.stopLine = lineAt(file.text, read.stopOffset);
            break;
        }
        firstOfMac_.emplace(e.mac, static_cast<int>(entries_.size()));
        entries_.push_back(std::move(e));
    }
    count_ = current_ = static_cast<int>(entries_.size());
    StepResult result;
    if (read.stop != TableStop::EndOfText) {
        unreadTail_ = file.text.substr(read.stopOffset);
        std::string why;
        if (read.stop == TableStop::TooManyEntries)
            why = "it holds more than " + std::to_string(kMaxCredentialEntries) + " entries";
        else if (read.stop == TableStop::TokenTooLong)
            why = "the entry at line " + std::to_string(read.stopLine) + " holds a text longer than " +
                  std::to_string(kMaxCredentialTextLength) + " characters";
        else
            why = "the entry at line " + std::to_string(read.stopLine) + " is damaged";
        result.report("Error",
                      path_ + ": " + why + ". The entries from there on are not used, but they stay in the file.",
                      MessageIcon::Warning);
    }
    return result;
}

StepResult CredentialLog::SaveLog() {
    std::string text;
    bool invalid = false;
    int number = 0;
    for (int i = 0; i < count_; ++i) {
        const CredentialEntry& e = entries_[static_cast<std::size_t>(i)];
        const CredentialEntry out{toUpperAscii(e.mac), encodeBlanks(e.id), encodeBlanks(e.password)};
        const bool fits = e.mac.size() <= kMaxCredentialTextLength && e.id.size() <= kMaxCredentialTextLength &&
                          e.password.size() <= kMaxCredentialTextLength;
        if (!fits || !writableToken(out.mac) || !writableToken(out.id) || !writableToken(out.password)) {
            invalid = true;
            continue;
        }
        text += formatEntry(++number, out);
    }
    if (!unreadTail_.empty()) {
        text += '\n';
        text += unreadTail_;
    }
    StepResult result;
    if (invalid) result.report("Error", kWrongDataType, MessageIcon::Critical);
    std::string error;
    if (!writeFileAtomically(path_, text, kOwnerOnly, &error))
        result.fail("Error", "Can't save the ID/password log!\n" + error, MessageIcon::Critical);
    return result;
}

int CredentialLog::FindMac(const std::string& mac) const {
    const auto found = firstOfMac_.find(mac);
    return found != firstOfMac_.end() && found->second < count_ ? found->second : -1;
}

StepResult CredentialLog::SelectEntry(int index) {
    if (index < 0 || (index != 0 && index > count_) || index >= kMaxCredentialEntries)
        return credentialIndexOutOfRange();
    current_ = index;
    return {};
}

StepResult CredentialLog::AppendEntry() {
    if (count_ >= kMaxCredentialEntries) return credentialIndexOutOfRange();
    current_ = count_++;
    slot(current_);
    return {};
}

StepResult CredentialLog::StoreEntry(const std::string& mac, const std::string& id, const std::string& password,
                                     int index) {
    if (index != -1) {
        if (StepResult selected = SelectEntry(index); !selected) return selected;
    }
    CredentialEntry* e = slot(current_);
    if (!e) return credentialIndexOutOfRange();
    // The index follows the texts: the first entry of each MAC, among the counted ones and the free one.
    const std::string old = e->mac;
    *e = CredentialEntry{mac, id, password};
    if (old != mac) {
        const auto was = firstOfMac_.find(old);
        if (was != firstOfMac_.end() && was->second == current_) {
            firstOfMac_.erase(was);
            for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
                if (entries_[static_cast<std::size_t>(i)].mac == old) {
                    firstOfMac_.emplace(old, i);
                    break;
                }
            }
        }
        auto [now, added] = firstOfMac_.emplace(mac, current_);
        if (!added && now->second > current_) now->second = current_;
    }
    return {};
}

StepResult CredentialLog::ClearLog() {
    entries_.clear();
    firstOfMac_.clear();
    count_ = current_ = 0;
    unreadTail_.clear();
    std::string error;
    if (!writeFileAtomically(path_, "", kOwnerOnly, &error))
        return StepResult::failure("Error", "Can't clear the ID/password log!\n" + error, MessageIcon::Critical);
    return {};
}

CredentialEntry CredentialLog::entry(int index) const {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return {};
    return entries_[static_cast<std::size_t>(index)];
}

CredentialEntry CredentialLog::current() const { return entry(current_); }

CredentialEntry* CredentialLog::slot(int index) {
    if (index < 0 || index >= kMaxCredentialEntries) return nullptr;
    if (static_cast<std::size_t>(index) >= entries_.size()) entries_.resize(static_cast<std::size_t>(index) + 1);
    return &entries_[static_cast<std::size_t>(index)];
}

StepResult CredentialLog::storeAll(const std::map<std::string, Credentials>& credentials) {
    if (credentials.empty()) return {};
    StepResult result = LoadLog();
    for (auto it = credentials.begin(); result && it != credentials.end(); ++it) {
        const auto& [mac, c] = *it;
        const int index = FindMac(mac);
        if (index >= 0) {
            result.add(StoreEntry(mac, c.id, c.password, index));
        } else if (result.add(AppendEntry())) {
            result.add(StoreEntry(mac, c.id, c.password, -1));
        }
    }
    if (result) result.add(SaveLog());
    return result;
}

}  // namespace tarn
