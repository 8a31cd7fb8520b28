// The ADC level and reference rules.
#include "core/monitor/adc_level.h"

#include <cstdio>

namespace tarn {

namespace {
constexpr int kReferenceCount = static_cast<int>(kAdcReferenceItems.size());
}  // namespace

std::string adcLevelText(int level) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%04d", level);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

PortInputCheck checkAdcLevelInput(std::string_view levelEdit) {
    const std::string_view level = trimBlanks(levelEdit);
    if (level.empty()) return {kInputAdcLevelText, {}};
    const auto value = readBoundedNumber(level, kMaxAdcLevel);
    if (!value) return {kAdcLevelLimitText, {}};
    return {{}, adcLevelText(*value)};
}

int adcReferenceIndex(char reference) {
    const int index = reference - '0';
    return (index >= 0 && index < kReferenceCount) ? index : -1;
}

char adcReferenceToWrite(int selectedIndex, char readReference) {
    if (selectedIndex >= 0 && selectedIndex < kReferenceCount) return static_cast<char>('0' + selectedIndex);
    return readReference;
}

}  // namespace tarn
