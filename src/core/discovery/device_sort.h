// Ordering of the device tree's column texts, and the per-column sort direction of its header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Texts whose parts before the first digit are equal (without regard to case) compare by their first
// number, so "name9" comes before "name10" and IP texts order by their first number; everything else,
// and equal numbers, compare as whole texts without case.
// Returns <0, 0 or >0.
int compareDeviceTexts(std::string_view a, std::string_view b);

// A text prepared once for compareDeviceTexts' order, so that sorting a large list compares
// prepared keys instead of folding and scanning both texts at every comparison.
class DeviceSortKey {
public:
    explicit DeviceSortKey(std::string_view text);
    // The order of compareDeviceTexts on the texts the keys were made from.
    friend int compare(const DeviceSortKey& a, const DeviceSortKey& b);

private:
    std::string folded_;        // letters A-Z folded to lower case
    std::uint32_t prefix_ = 0;  // length of the part before the first digit
    std::uint32_t number_ = 0;  // start of the first number, without its leading zeros
    std::uint32_t digits_ = 0;  // its length
    bool hasDigit_ = false;
};

enum class SortDirection { None, Ascending, Descending };

class ColumnSortState {
public:
    explicit ColumnSortState(int columns) : directions_(static_cast<std::size_t>(columns), SortDirection::None) {}
    // A click on a column: the others forget their direction; this one becomes ascending unless it
    // was ascending, then descending.
    SortDirection click(int column);
    SortDirection direction(int column) const { return directions_.at(static_cast<std::size_t>(column)); }

private:
    std::vector<SortDirection> directions_;
};

}  // namespace tarn
