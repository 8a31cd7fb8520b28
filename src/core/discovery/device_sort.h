// Ordering of the device tree's column texts, and the per-column sort direction of its header.
#pragma once

#include <string_view>
#include <vector>

namespace tarn {

// Texts whose parts before the first digit are equal (without regard to case) compare by their first
// number, so "name9" comes before "name10" and IP texts order by their first number; everything else,
// and equal numbers, compare as whole texts without case.
// Returns <0, 0 or >0.
int compareDeviceTexts(std::string_view a, std::string_view b);

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
