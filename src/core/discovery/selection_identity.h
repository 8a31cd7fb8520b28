// The common identity of the selected devices that every device operation starts from: one product
// id, one firmware version and (for requests) one addressing kind, or the message that stops it.
#pragma once

#include <string>
#include <vector>

#include "core/discovery/device_entry.h"

namespace tarn {

inline constexpr const char* kNoSelectedDevice = "No Selected Device !!";
inline constexpr const char* kOtherDevicesSelected = "You've selected other devices.!!";
inline constexpr const char* kDifferentTexts = "ERROR";

struct SelectionIdentity {
    std::string productId;    // common product id, or "ERROR"
    std::string version;      // common version, or "ERROR"
    int addressingKind = -1;  // common kind, or -1
};

// The common texts of the given devices (all of them), as the tree's accessors define them.
SelectionIdentity commonIdentity(const std::vector<DeviceEntry>& selected);

struct SelectionCheck {
    bool ok = false;
    std::string message;  // for the "Error" box when not ok
    SelectionIdentity identity;
};

// The message for a device two addresses claim: no request goes to either.
std::string conflictMessage(const DeviceEntry& device);

// Nothing selected, too many for one operation, a device two addresses claim, or devices that differ (in product id and
// version, and in addressing kind when requestsFollow) are refused with their message.
SelectionCheck checkSelection(const std::vector<DeviceEntry>& selected, bool requestsFollow = true);

// Whether two lists name the same devices (by MAC and address), in the same order. Set, Save and
// Compare act only while the devices whose values the list shows are the selected ones: browsing
// moves the selection without reading, and a value must never go to a device it was not read from.
bool sameDevices(const std::vector<DeviceEntry>& a, const std::vector<DeviceEntry>& b);

// What the list says over its rows while the selection is not what it shows:
// "Values of Gateway-North. Press Enter to read the 3 selected devices". The selected devices are
// counted (a list of 100,000 is not made for it); the name is that of the one selected device.
std::string staleValuesNotice(const std::vector<DeviceEntry>& shown, int selectedCount,
                              const std::string& selectedName);

}  // namespace tarn
