#include "core/discovery/device_limit.h"

#include "core/common/text.h"

namespace tarn {

bool DeviceLimit::admits(std::size_t kept) {
    if (kept < static_cast<std::size_t>(max_)) return true;
    ++ignored_;
    return false;
}

std::string DeviceLimit::message() const {
    if (ignored_ == 0) return {};
    return groupedNumber(static_cast<long long>(ignored_)) +
           (ignored_ == 1 ? " more reply was" : " more replies were") + " ignored: more than " + groupedNumber(max_) +
           " devices answered";
}

}  // namespace tarn
