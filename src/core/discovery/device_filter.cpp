#include "core/discovery/device_filter.h"

#include "core/common/text.h"

namespace tarn {

DeviceFilter::DeviceFilter(std::string_view pattern) {
    while (!pattern.empty() && (pattern.front() == ' ' || pattern.front() == '\t')) pattern.remove_prefix(1);
    while (!pattern.empty() && (pattern.back() == ' ' || pattern.back() == '\t')) pattern.remove_suffix(1);
    if (pattern.empty()) return;
    const bool wildcards = pattern.find_first_of("*?") != std::string_view::npos;
    if (!wildcards) pattern_ += '*';
    pattern_ += pattern;
    if (!wildcards) pattern_ += '*';
}

bool DeviceFilter::matches(std::string_view text) const {
    return pattern_.empty() || matchesGlob(pattern_, text, true);
}

}  // namespace tarn
