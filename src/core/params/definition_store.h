// The definition sets of one run: at most 100 sets, each assigned to one (product number, major,
// minor) triple the first time a file for it is loaded, and the set in use (the current set).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "core/common/report.h"
#include "core/params/definition_set.h"

namespace tarn {

constexpr int kMaxDefinitionSets = 100;
constexpr int kProductNumberLimit = 100;  // product numbers 0..99
constexpr int kMajorVersionLimit = 20;    // major versions 0..19
constexpr int kMinorVersionLimit = 30;    // minor versions 0..29
constexpr std::size_t kMaxDcfFileSize = 16u << 20;

struct DcfLoadResult {
    bool loaded = false;
    int setIndex = -1;    // the current set when loaded
    std::string message;  // the text of the "Error" box to show when not loaded
    explicit operator bool() const { return loaded; }
    // The report to show: the "Error" box when not loaded, nothing when loaded.
    StepResult reports() const;
};

// "%s%s_%s.dcf": folder (with its trailing "/"), product name and version text.
std::string deviceConfigurationPath(const std::string& folder, const std::string& productName,
                                    const std::string& version);

class DefinitionStore {
public:
    DefinitionStore();

    // Reads and parses the file and makes its set current (a file whose text equals the one its set
    // was parsed from last time is not parsed again). A missing file is reported as
    // "Can't find configuration file! \n" + path; a file that breaks the format or a limit is refused
    // with a message naming the file and the fault. In both cases no set is current afterwards, and a
    // set that was loaded before for the same triple keeps its old content.
    DcfLoadResult LoadDeviceConfiguration(const std::string& path, int productNumber, int major, int minor);
    // The same from text already in memory (path is only used in messages).
    DcfLoadResult loadFromText(const std::string& path, std::string_view text, int productNumber, int major, int minor);

    const DefinitionSet* current() const { return set(current_); }
    DefinitionSet* current() { return current_ < 0 ? nullptr : &sets_[static_cast<std::size_t>(current_)]; }
    int currentIndex() const { return current_; }
    const DefinitionSet* set(int index) const {
        return index < 0 || index >= setCount() ? nullptr : &sets_[static_cast<std::size_t>(index)];
    }
    int setCount() const { return static_cast<int>(sets_.size()); }
    // The set assigned to a triple, or -1 (also for a triple outside the bounds).
    int setIndexFor(int productNumber, int major, int minor) const;

    // On the current set; -1 / {-1, -1} when there is none.
    int FindRecordById(const std::string& id) const;
    std::pair<int, int> FindClassRange(const std::string& blockId) const;

private:
    DcfLoadResult refuse(const std::string& path, const std::string& reason);

    std::vector<std::size_t> keys_;     // per set: its product x major x minor
    std::vector<std::string> sources_;  // per set: the text it was parsed from
    // A deque, so that loading another product never moves the sets already handed out by current().
    std::deque<DefinitionSet> sets_;
    int current_ = -1;
};

}  // namespace tarn
