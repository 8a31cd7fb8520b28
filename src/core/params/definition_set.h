// The parameter definitions of one product and firmware version, as a .dcf file declares them:
// records in expanded order (every instance of every class), with their access modes, defined
// values, enumerations, class slots and the groups the parameter list offers. Plain data; the list
// and the group combo box are built from it by the GUI.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

constexpr int kMaxRecords = 700;            // records per set, after instance expansion
constexpr int kMaxDefinedValues = 20;       // defined values per parameter
constexpr int kMaxEnumerationEntries = 20;  // enumeration entries per FLAG parameter
constexpr int kMaxEnumerationKey = 99;      // keys have at most two digits
constexpr int kClassSlotCount = 10;         // one slot must carry end -1, so at most nine classes
constexpr int kMaxValueSize = 65535;        // the wire's value length is a 16-bit field

constexpr const char* kAllClassesLabel = "All classes";

enum class AccessMode { None = 0, ReadWrite = 1, ReadOnly = 2, Hidden = 3 };

// "R/W" -> ReadWrite, "R/O" -> ReadOnly, "HIDDEN" -> Hidden, anything else None.
AccessMode accessModeFromText(const std::string& access);

struct DefinedValue {
    std::int32_t value = 0;
    std::string text;
};

struct EnumerationEntry {
    int key = 0;  // 0 to 99
    std::string text;
};

struct ParameterRecord {
    std::string id;          // wire identifier, e.g. "3.2.1"
    std::string classLabel;  // list column "class"
    std::string name;        // list column "parameter"
    std::string type;        // type keyword, e.g. "unsigned char"
    std::string access;      // access text as read
    std::int32_t size = 0;   // value bytes on the wire
    std::string unit;        // shown behind the value; empty if none
    AccessMode accessMode = AccessMode::None;
    bool isFlag = false;  // the type token was FLAG: the entry carried an enumeration block
    std::vector<DefinedValue> definedValues;
    std::vector<EnumerationEntry> enumeration;
};

struct ClassSlot {
    std::int32_t instanceCount = 0;
    std::int32_t start = 0;  // first template record (inclusive), in expanded order
    std::int32_t end = -1;   // last template record (inclusive); -1 ends the class list
};

struct ParameterGroup {
    std::string label;
    int start = 0;  // first record of the group
};

struct DefinitionSet {
    int productNumber = 0;
    int major = 0;
    int minor = 0;
    std::vector<ParameterRecord> records;  // at most kMaxRecords
    std::array<ClassSlot, kClassSlotCount> classSlots{};
    // Group 0 is "All classes" (start 0), groups 1..G follow in file order, and the last entry is
    // the end entry: empty label, start = number of records.
    std::vector<ParameterGroup> groups;
    int selectedGroup = 0;  // the group the parameter list shows for this set

    int recordCount() const { return static_cast<int>(records.size()); }
    // Selectable groups including "All classes" (the end entry not counted).
    int groupCount() const { return groups.empty() ? 0 : static_cast<int>(groups.size()) - 1; }
    // Records [first, last) that group g shows; "All classes" shows every record. {0, 0} for an
    // index that is not a group.
    std::pair<int, int> groupRange(int g) const;
};

// The two cells the list shows for a record: class label and name, both empty for a hidden record.
std::pair<std::string, std::string> listRowTexts(const ParameterRecord& record);

// Index of the first record whose id equals the text exactly, or -1.
int FindRecordById(const DefinitionSet& set, const std::string& id);

// For a class block identifier such as "3.0" (its last component stands for "all"): the first and
// last record whose id begins with the identifier minus its last character ("3."); "0" covers every
// record. {-1, -1} when nothing matches.
std::pair<int, int> FindClassRange(const DefinitionSet& set, const std::string& blockId);

}  // namespace tarn
