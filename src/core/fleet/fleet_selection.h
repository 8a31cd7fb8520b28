// Which of the devices that answered a probe a fleet command works on: by product, firmware
// version, name pattern and MAC. Without a criterion every device is selected.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/device_entry.h"
#include "core/manage/device_outcome.h"

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

// What a fleet command works on, and what it reports without touching: every requested device gets
// an outcome.
struct FleetSelection {
    std::vector<DeviceEntry> devices;  // the devices the filter selects, ordered by MAC
    // Selected by the filter but not to be touched, each with its status and message (the operation
    // is the caller's): both devices that answered with one MAC (Duplicate), and each --mac that no
    // device answered (NoReply; the entry holds only the MAC).
    OperationOutcomes unreached;
    bool empty() const { return devices.empty() && unreached.empty(); }
};

FleetSelection selectFleet(const std::vector<DeviceEntry>& answered, const FleetFilter& filter,
                           const ProductNames& productName);

}  // namespace tarn
