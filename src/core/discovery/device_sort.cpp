#include "core/discovery/device_sort.h"

namespace tarn {

namespace {

int sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

}  // namespace

DeviceSortKey::DeviceSortKey(std::string_view text) : folded_(text) {
    for (char& c : folded_)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const std::size_t first = folded_.find_first_of("0123456789");
    hasDigit_ = first != std::string::npos;
    prefix_ = static_cast<std::uint32_t>(hasDigit_ ? first : folded_.size());
    std::size_t i = prefix_;
    while (i < folded_.size() && folded_[i] == '0') ++i;  // "007" is the number 7
    std::size_t j = i;
    while (j < folded_.size() && folded_[j] >= '0' && folded_[j] <= '9') ++j;
    // The leading zeros of an all-zero run leave the empty number: 0.
    number_ = static_cast<std::uint32_t>(i);
    digits_ = static_cast<std::uint32_t>(j - i);
}

int compare(const DeviceSortKey& a, const DeviceSortKey& b) {
    const std::string_view fa = a.folded_, fb = b.folded_;
    // The prefixes are compared without case: compared exactly, "Pump9" < "Pump10" < "pump2" < "Pump9"
    // would go round in a circle and no sort could be consistent.
    if (fa.substr(0, a.prefix_) != fb.substr(0, b.prefix_)) return sign(fa.compare(fb));
    if (a.hasDigit_ || b.hasDigit_) {
        // Numbers of any length: compare by digit count, then digit by digit.
        if (a.digits_ != b.digits_) return a.digits_ < b.digits_ ? -1 : 1;
        if (const int c = fa.substr(a.number_, a.digits_).compare(fb.substr(b.number_, b.digits_)); c != 0)
            return sign(c);
    }
    return sign(fa.compare(fb));
}

int compareDeviceTexts(std::string_view a, std::string_view b) { return compare(DeviceSortKey(a), DeviceSortKey(b)); }

SortDirection ColumnSortState::click(int column) {
    const SortDirection next =
        direction(column) == SortDirection::Ascending ? SortDirection::Descending : SortDirection::Ascending;
    for (auto& d : directions_) d = SortDirection::None;
    directions_.at(static_cast<std::size_t>(column)) = next;
    return next;
}

}  // namespace tarn
