#include "core/discovery/device_sort.h"

#include <algorithm>
#include <cctype>

namespace tarn {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int compareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The first run of digits, without leading zeros ("" stands for 0).
std::string_view firstNumber(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && !isDigit(s[i])) ++i;
    std::size_t j = i;
    while (j < s.size() && isDigit(s[j])) ++j;
    std::string_view digits = s.substr(i, j - i);
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    return digits;
}

}  // namespace

int compareDeviceTexts(std::string_view a, std::string_view b) {
    const std::size_t da = a.find_first_of("0123456789");
    const std::size_t db = b.find_first_of("0123456789");
    const std::string_view pa = a.substr(0, da);
    const std::string_view pb = b.substr(0, db);
    // The prefixes are compared without case: compared exactly, "Pump9" < "Pump10" < "pump2" < "Pump9"
    // would go round in a circle and no sort could be consistent.
    if (compareNoCase(pa, pb) != 0) return compareNoCase(a, b);
    if (da != std::string_view::npos || db != std::string_view::npos) {
        // Numbers of any length: compare by digit count, then digit by digit.
        const std::string_view na = firstNumber(a);
        const std::string_view nb = firstNumber(b);
        if (na.size() != nb.size()) return na.size() < nb.size() ? -1 : 1;
        if (const int c = na.compare(nb); c != 0) return c < 0 ? -1 : 1;
    }
    return compareNoCase(a, b);
}

SortDirection ColumnSortState::click(int column) {
    const SortDirection next =
        direction(column) == SortDirection::Ascending ? SortDirection::Descending : SortDirection::Ascending;
    for (auto& d : directions_) d = SortDirection::None;
    directions_.at(static_cast<std::size_t>(column)) = next;
    return next;
}

}  // namespace tarn
