#include "core/discovery/device_limit.h"

namespace tarn {

bool DeviceLimit::admits(std::size_t kept) {
    if (kept < static_cast<std::size_t>(max_)) return true;
    ++ignored_;
    return false;
}

std::string DeviceLimit::message() const {
    if (ignored_ == 0) return {};
    return groupedNumber(ignored_) + (ignored_ == 1 ? " more reply was" : " more replies were") +
           " ignored: more than " + groupedNumber(static_cast<std::uint64_t>(max_)) + " devices answered";
}

std::string groupedNumber(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    return digits;
}

}  // namespace tarn
