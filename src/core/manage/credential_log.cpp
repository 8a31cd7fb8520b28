#include "core/manage/credential_log.h"

#include <algorithm>
#include <functional>

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
constexpr std::size_t kBlankCodeSize = std::string_view(kBlankCode).size();

// A token of the file: a MAC, or an ID or password with its blanks written as "-/space/-".
constexpr std::size_t kMaxLogTokenLength = kMaxCredentialTextLength * 9;

bool writableToken(const std::string& token) {
    if (token.empty() || token.size() > kMaxLogTokenLength) return false;
    for (char c : token) {
        if (isBlankChar(c)) return false;
    }
    return true;
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

bool CredentialLog::takeReadEntry(std::span<const std::string_view> tokens) {
    // Every text the password dialog takes fits; a longer one ends the reading there.
    const std::string_view mac = tokens[0];
    std::size_t sizes[3] = {mac.size(), 0, 0};
    for (std::size_t t = 1; t < 3; ++t) {
        const std::string_view token = tokens[t];
        std::size_t codes = 0;
        for (std::size_t at = token.find(kBlankCode); at != std::string_view::npos;
             at = token.find(kBlankCode, at + kBlankCodeSize))
            ++codes;
        sizes[t] = token.size() - codes * (kBlankCodeSize - 1);
    }
    for (const std::size_t size : sizes) {
        if (size > kMaxCredentialTextLength) return false;
    }
    ReadEntry e;
    std::uint32_t* offsets[3] = {&e.mac, &e.id, &e.password};
    for (std::size_t t = 0; t < 3; ++t) {
        const std::string_view token = tokens[t];
        const std::size_t offset = static_cast<std::size_t>(token.data() - fileText_.data());
        *offsets[t] = static_cast<std::uint32_t>(offset);
        if (t == 0) continue;
        // Decoded where it stands: the reader is past it, and no line end is written or taken away.
        char* out = fileText_.data() + offset;
        for (std::size_t at = 0; at < token.size();) {
            if (token.substr(at, kBlankCodeSize) == kBlankCode) {
                *out++ = ' ';
                at += kBlankCodeSize;
            } else {
                *out++ = token[at++];
            }
        }
    }
    e.macSize = static_cast<std::uint8_t>(sizes[0]);
    e.idSize = static_cast<std::uint8_t>(sizes[1]);
    e.passwordSize = static_cast<std::uint8_t>(sizes[2]);
    read_.push_back(e);
    return true;
}

StepResult CredentialLog::LoadLog() {
    fileText_.clear();
    read_.clear();
    stored_.clear();
    size_ = count_ = current_ = 0;
    unreadTail_ = 0;
    FileContent file = readWholeFile(path_, kMaxLogFileSize);
    // A missing log is an empty one; the file comes into being with its first entry.
    if (file.status == ReadStatus::Missing) {
        rebuildMacIndex();
        return {};
    }
    if (file.status != ReadStatus::Ok) {
        rebuildMacIndex();
        return StepResult::failure("Error", "Can't read the ID/password log " + path_, MessageIcon::Critical);
    }
    fileText_ = std::move(file.text);
    const LabelledEntries read =
        visitLabelledEntries(fileText_, {"MAC", "ID", "Password"}, kMaxCredentialEntries, kMaxLogTokenLength,
                             [this](std::span<const std::string_view> tokens) { return takeReadEntry(tokens); });
    size_ = count_ = current_ = static_cast<int>(read_.size());
    unreadTail_ = read.stopOffset;
    rebuildMacIndex();
    StepResult result;
    if (read.stop != TableStop::EndOfText) {
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
    // Written in pieces: a large site's log is not held a second time as one text.
    constexpr std::size_t kPieceSize = 1u << 20;
    bool invalid = false;
    std::string error;
    const bool written = writeFileAtomically(
        path_,
        [&](const PieceSink& sink) {
            std::string text;
            bool taking = true;
            int number = 0;
            for (int i = 0; i < count_; ++i) {
                const EntryTexts e = texts(i);
                const CredentialEntry out{toUpperAscii(std::string(e.mac)), encodeBlanks(std::string(e.id)),
                                          encodeBlanks(std::string(e.password))};
                const bool fits = e.mac.size() <= kMaxCredentialTextLength && e.id.size() <= kMaxCredentialTextLength &&
                                  e.password.size() <= kMaxCredentialTextLength;
                if (!fits || !writableToken(out.mac) || !writableToken(out.id) || !writableToken(out.password)) {
                    invalid = true;
                    continue;
                }
                text += formatEntry(++number, out);
                if (text.size() >= kPieceSize) {
                    taking = taking && sink(text);
                    text.clear();
                }
            }
            const std::string_view unread = std::string_view(fileText_).substr(unreadTail_);
            if (!unread.empty()) text += '\n';
            if (taking && sink(text)) sink(unread);
        },
        kOwnerOnly, &error);
    StepResult result;
    if (invalid) result.report("Error", kWrongDataType, MessageIcon::Critical);
    if (!written) result.fail("Error", "Can't save the ID/password log!\n" + error, MessageIcon::Critical);
    return result;
}

int CredentialLog::FindMac(const std::string& mac) const {
    const int found = macIndex_[bucketOf(mac)];
    return found >= 0 && found < count_ ? found : -1;
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
    makeSlot(current_);
    return {};
}

StepResult CredentialLog::StoreEntry(const std::string& mac, const std::string& id, const std::string& password,
                                     int index) {
    if (index != -1) {
        if (StepResult selected = SelectEntry(index); !selected) return selected;
    }
    if (!makeSlot(current_)) return credentialIndexOutOfRange();
    // The index follows the texts: the first entry of each MAC, among the counted ones and the free one.
    const std::string old(texts(current_).mac);
    const bool firstOfOld = !old.empty() && macIndex_[bucketOf(old)] == current_;
    stored_[current_] = CredentialEntry{mac, id, password};
    if (old != mac) {
        if (firstOfOld)
            rebuildMacIndex();  // the old MAC's next entry, if any, becomes its first
        else
            indexMac(current_);
    }
    return {};
}

StepResult CredentialLog::ClearLog() {
    fileText_.clear();
    read_.clear();
    stored_.clear();
    size_ = count_ = current_ = 0;
    unreadTail_ = 0;
    rebuildMacIndex();
    std::string error;
    if (!writeFileAtomically(path_, "", kOwnerOnly, &error))
        return StepResult::failure("Error", "Can't clear the ID/password log!\n" + error, MessageIcon::Critical);
    return {};
}

CredentialLog::EntryTexts CredentialLog::texts(int index) const {
    if (index < 0 || index >= size_) return {};
    if (const auto stored = stored_.find(index); stored != stored_.end())
        return {stored->second.mac, stored->second.id, stored->second.password};
    if (static_cast<std::size_t>(index) >= read_.size()) return {};
    const ReadEntry& e = read_[static_cast<std::size_t>(index)];
    const std::string_view file = fileText_;
    return {file.substr(e.mac, e.macSize), file.substr(e.id, e.idSize), file.substr(e.password, e.passwordSize)};
}

CredentialEntry CredentialLog::entry(int index) const {
    const EntryTexts e = texts(index);
    return {std::string(e.mac), std::string(e.id), std::string(e.password)};
}

CredentialEntry CredentialLog::current() const { return entry(current_); }

bool CredentialLog::makeSlot(int index) {
    if (index < 0 || index >= kMaxCredentialEntries) return false;
    size_ = std::max(size_, index + 1);
    return true;
}

std::size_t CredentialLog::bucketOf(std::string_view mac) const {
    const std::size_t mask = macIndex_.size() - 1;
    for (std::size_t b = std::hash<std::string_view>{}(mac)&mask;; b = (b + 1) & mask) {
        const int e = macIndex_[b];
        if (e < 0 || texts(e).mac == mac) return b;
    }
}

void CredentialLog::indexMac(int index) {
    const std::string_view mac = texts(index).mac;
    if (mac.empty()) return;
    if (2 * (static_cast<std::size_t>(indexed_) + 1) > macIndex_.size()) return rebuildMacIndex();
    int& first = macIndex_[bucketOf(mac)];
    if (first < 0) {
        first = index;
        ++indexed_;
    } else if (index < first) {
        first = index;
    }
}

void CredentialLog::rebuildMacIndex() {
    std::size_t buckets = 16;
    while (buckets < 2 * (static_cast<std::size_t>(size_) + 1)) buckets *= 2;
    macIndex_.assign(buckets, -1);
    indexed_ = 0;
    for (int i = 0; i < size_; ++i) indexMac(i);
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
