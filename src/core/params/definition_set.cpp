#include "core/params/definition_set.h"

namespace tarn {

AccessMode accessModeFromText(const std::string& access) {
    if (access == "R/W") return AccessMode::ReadWrite;
    if (access == "R/O") return AccessMode::ReadOnly;
    if (access == "HIDDEN") return AccessMode::Hidden;
    return AccessMode::None;
}

std::pair<int, int> DefinitionSet::groupRange(int g) const {
    if (g < 0 || g >= groupCount()) return {0, 0};
    if (g == 0) return {0, recordCount()};
    return {groups[static_cast<std::size_t>(g)].start, groups[static_cast<std::size_t>(g) + 1].start};
}

std::pair<std::string, std::string> listRowTexts(const ParameterRecord& record) {
    if (record.accessMode == AccessMode::Hidden) return {};
    return {record.classLabel, record.name};
}

int FindRecordById(const DefinitionSet& set, const std::string& id) {
    for (int i = 0; i < set.recordCount(); ++i) {
        const std::string& recordId = set.records[static_cast<std::size_t>(i)].id;
        if (recordId.empty()) break;
        if (recordId == id) return i;
    }
    return -1;
}

std::pair<int, int> FindClassRange(const DefinitionSet& set, const std::string& blockId) {
    if (blockId.empty()) return {-1, -1};
    const std::string_view prefix(blockId.data(), blockId.size() - 1);
    int first = -1;
    int last = -1;
    for (int i = 0; i < set.recordCount(); ++i) {
        const std::string& recordId = set.records[static_cast<std::size_t>(i)].id;
        if (recordId.empty()) break;
        if (std::string_view(recordId).starts_with(prefix)) {
            if (first < 0) first = i;
            last = i;
        }
    }
    return {first, last};
}

}  // namespace tarn
