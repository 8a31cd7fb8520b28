#include "core/discovery/device_filter.h"

namespace tarn {

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

DeviceFilter::DeviceFilter(std::string_view pattern) {
    while (!pattern.empty() && (pattern.front() == ' ' || pattern.front() == '\t')) pattern.remove_prefix(1);
    while (!pattern.empty() && (pattern.back() == ' ' || pattern.back() == '\t')) pattern.remove_suffix(1);
    if (pattern.empty()) return;
    const bool wildcards = pattern.find_first_of("*?") != std::string_view::npos;
    if (!wildcards) pattern_ += '*';
    for (char c : pattern) pattern_ += fold(c);
    if (!wildcards) pattern_ += '*';
}

// Greedy matching with one back-tracking point (the last '*'): linear in practice and never
// exponential, whatever the operator types.
bool DeviceFilter::matches(std::string_view text) const {
    if (pattern_.empty()) return true;
    std::size_t p = 0, t = 0;
    std::size_t star = std::string::npos, starText = 0;
    while (t < text.size()) {
        if (p < pattern_.size() && pattern_[p] == '*') {
            star = p++;
            starText = t;
        } else if (p < pattern_.size() && (pattern_[p] == '?' || pattern_[p] == fold(text[t]))) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern_.size() && pattern_[p] == '*') ++p;
    return p == pattern_.size();
}

}  // namespace tarn
