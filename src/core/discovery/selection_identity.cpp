#include "core/discovery/selection_identity.h"

#include "core/common/text.h"
#include "core/discovery/target_table.h"

namespace tarn {

SelectionIdentity commonIdentity(const std::vector<DeviceEntry>& selected) {
    SelectionIdentity id;
    if (selected.empty()) return id;
    id.productId = selected.front().productId;
    id.version = selected.front().version;
    id.addressingKind = selected.front().addressingKind;
    for (const DeviceEntry& e : selected) {
        if (e.productId != id.productId) id.productId = kDifferentTexts;
        if (e.version != id.version) id.version = kDifferentTexts;
        if (e.addressingKind != id.addressingKind) id.addressingKind = -1;
    }
    return id;
}

std::string conflictMessage(const DeviceEntry& device) {
    return device.name + " (MAC " + device.mac + ") answered from two addresses, " + device.ip + " and " +
           device.conflictAddress +
           ": one of them is not the device. No ID or password is sent to either; Quick Connect the address of "
           "the real device.";
}

SelectionCheck checkSelection(const std::vector<DeviceEntry>& selected, bool requestsFollow) {
    SelectionCheck check;
    if (selected.empty()) {
        check.message = kNoSelectedDevice;
        return check;
    }
    if (static_cast<int>(selected.size()) > TargetTable::kCapacity) {
        check.message = tooManyDevicesMessage(static_cast<int>(selected.size()));
        return check;
    }
    for (const DeviceEntry& device : selected) {
        if (!device.conflictAddress.empty()) {
            check.message = conflictMessage(device);
            return check;
        }
    }
    check.identity = commonIdentity(selected);
    const SelectionIdentity& id = check.identity;
    if (id.productId == kDifferentTexts || id.version == kDifferentTexts ||
        (requestsFollow && id.addressingKind == -1)) {
        check.message = kOtherDevicesSelected;
        return check;
    }
    check.ok = true;
    return check;
}

bool sameDevices(const std::vector<DeviceEntry>& a, const std::vector<DeviceEntry>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!equalsIgnoreCase(a[i].mac, b[i].mac) || a[i].ip != b[i].ip) return false;
    return true;
}

std::string staleValuesNotice(const std::vector<DeviceEntry>& shown, int selectedCount,
                              const std::string& selectedName) {
    std::string text;
    if (shown.size() == 1)
        text = "Values of " + escapeControlCharacters(shown.front().name) + ". ";
    else if (shown.size() > 1)
        text = "Values of " + groupedNumber(static_cast<long long>(shown.size())) + " devices. ";
    if (selectedCount <= 0) return text + "No device is selected";
    if (selectedCount == 1) return text + "Press Enter to read " + escapeControlCharacters(selectedName);
    return text + "Press Enter to read the " + groupedNumber(selectedCount) + " selected devices";
}

}  // namespace tarn
