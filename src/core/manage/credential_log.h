// The ID/password log, pwd.ini: the ID and password the operator typed for each device, keyed by the
// device's MAC address (upper case), so that later requests need no dialog. Each entry is written as
//
//   \n[%d]\nMAC : %s \nID : %s \nPassword : %s \n
//
// with every blank of the ID and the password written as "-/space/-". The file is read each time it
// is needed and rewritten (atomically, readable by its owner only) after each change.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/common/labelled_entries.h"
#include "core/common/prompter.h"
#include "core/common/report.h"

namespace tarn {

constexpr const char* kCredentialLogFileName = "pwd.ini";
constexpr const char* kWrongDataType = "Wrong data type!!";
constexpr const char* kBlankCode = "-/space/-";
// The longest MAC, ID or password the log keeps: all that a request can carry.
constexpr std::size_t kMaxCredentialTextLength = 255;
// Entries the log keeps: a fleet of any size met in practice (and no fixed table below it).
constexpr int kMaxCredentialEntries = 1000000;

// Why the log could not give the ID or password back exactly as it is ("-/space/-" in it would read
// back as a blank, a tab would end the token), or nothing when it can. Such credentials are refused
// before they are sent, so that a device never takes what the log cannot keep.
std::optional<std::string> credentialTextProblem(const std::string& text);

struct CredentialEntry {
    std::string mac;
    std::string id;
    std::string password;
};

class CredentialLog {
public:
    explicit CredentialLog(std::string path) : path_(std::move(path)) {}

    // Reads every entry; the current index and the count end at the number read. A missing file is an
    // empty log; the file comes into being with the first SaveLog. Entries the log cannot take (beyond
    // kMaxCredentialEntries, a text over 255 characters, a damaged entry) are reported, left unused, and kept in the
    // file by the next SaveLog. An unreadable file fails.
    StepResult LoadLog();
    // Rewrites the file with entries 0..count-1. An entry with an empty MAC, ID or password (or one
    // that cannot be written as tokens) is reported as "Wrong data type!!" and left out; every valid
    // entry is written. Fails when the file could not be written (it is then unchanged).
    StepResult SaveLog();
    // Index of the first entry whose MAC equals the text exactly, or -1.
    int FindMac(const std::string& mac) const;
    // Makes an index current; beyond the count (or the table) "Out of range of the database !".
    StepResult SelectEntry(int index);
    // Makes the entry at index count current and counts it.
    StepResult AppendEntry();
    // If index is not -1 makes it current; writes the three texts into the current entry.
    StepResult StoreEntry(const std::string& mac, const std::string& id, const std::string& password, int index);
    // Empties the file and the log.
    StepResult ClearLog();

    // Copies, so that what a caller holds stays valid when the log grows, is reloaded or stored into.
    std::string currentId() const { return current().id; }
    std::string currentPassword() const { return current().password; }
    int count() const { return count_; }
    int currentIndex() const { return current_; }
    CredentialEntry entry(int index) const;

    // The read-modify-write of the management operations, for every device that accepted
    // credentials or confirmed a change of its own (by MAC), with one read and one write of the
    // file: a new MAC is added, a known one takes the texts.
    StepResult storeAll(const std::map<std::string, Credentials>& credentials);

    // Parsing and formatting of the file text, without the file.
    static LabelledEntries parse(std::string_view text);
    static std::string formatEntry(int number, const CredentialEntry& entry);

private:
    // An entry as read, in the file's text: each text where its token stood, the blank codes of the ID
    // and the password decoded in place (that only shortens them), so that the log of a large site
    // takes little more memory than its file.
    struct ReadEntry {
        std::uint32_t mac = 0, id = 0, password = 0;  // offsets in fileText_
        std::uint8_t macSize = 0, idSize = 0, passwordSize = 0;
    };
    struct EntryTexts {
        std::string_view mac, id, password;
    };
    EntryTexts texts(int index) const;
    CredentialEntry current() const;
    // Makes the entry exist (the free one after the last, or one appended).
    bool makeSlot(int index);
    bool takeReadEntry(std::span<const std::string_view> tokens);
    // FindMac's table: the first entry of each MAC by open addressing (an entry index or -1 per
    // bucket, at most half of them used), 8 bytes an entry where a map of strings takes about 100.
    std::size_t bucketOf(std::string_view mac) const;
    void indexMac(int index);
    void rebuildMacIndex();

    std::string path_;
    std::string fileText_;                             // the file as LoadLog read it
    std::vector<ReadEntry> read_;                      // entries 0.. as read
    std::unordered_map<int, CredentialEntry> stored_;  // entries stored since, by index
    int size_ = 0;  // entries that exist: may be one more than count_, the free entry
    std::vector<int> macIndex_ = std::vector<int>(16, -1);
    int indexed_ = 0;  // buckets of macIndex_ in use
    int count_ = 0;
    int current_ = 0;
    std::size_t unreadTail_ = 0;  // where the part of the file LoadLog could not take starts; SaveLog keeps it
};

}  // namespace tarn
