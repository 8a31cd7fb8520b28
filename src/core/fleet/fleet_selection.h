// Which of the devices that answered a probe a fleet command works on: by product, firmware
// version, name pattern and MAC. Without a criterion every device is selected.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/device_entry.h"

namespace tarn {

// The product name prodid.ini gives a product id ("74" -> "TARN-IO"), or "" when it has none.
using ProductNames = std::function<std::string(const std::string& productId)>;

struct FleetFilter {
    std::string product;            // a product name (any case) or product id; empty: any
    std::string version;            // "X.Y", compared as numbers ("1.01" is "1.1"); empty: any
    std::string nameGlob;           // '*' any run of bytes, '?' one byte, the rest itself; empty: any
    std::vector<std::string> macs;  // "00:11:22:33:44:55" or "00-11-22-33-44-55", any case; empty: any
};

// Why the filter cannot be used ("--mac must be six hexadecimal pairs ...: 'x'"), or nothing.
std::optional<std::string> checkFleetFilter(const FleetFilter& filter);

// Whether the whole text matches the pattern.
bool matchesGlob(std::string_view pattern, std::string_view text);

// The devices the filter selects, each MAC once (the first answer counts), ordered by MAC.
std::vector<DeviceEntry> selectFleet(const std::vector<DeviceEntry>& answered, const FleetFilter& filter,
                                     const ProductNames& productName);

}  // namespace tarn
