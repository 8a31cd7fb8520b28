// The discovered devices as the window lists them. Every device keeps its entry and the time of its
// last reply, numbered in the order of discovery; the list shows them in its own order: discovery
// order at first, sorted by a column on a header click, narrowed by the filter, and with devices
// that answer later appended at the end (as they always were). The selection marks (TreeSelection)
// follow the shown order: a device the filter hides loses its mark.
//
// The devices are kept compact (DeviceRecords) and their texts made when asked for.
//
// Plain data and rules: the window's item model shows it, tests drive it without a widget.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/device_entry.h"
#include "core/discovery/device_filter.h"
#include "core/discovery/device_records.h"
#include "core/discovery/device_sort.h"
#include "core/discovery/listed_macs.h"
#include "core/discovery/tree_selection.h"

namespace tarn {

enum DeviceColumn {
    kNameColumn,
    kIpColumn,
    kMacColumn,
    kProductColumn,
    kVersionColumn,
    kFoundByColumn,
    kLastReplyColumn
};

class DeviceInventory {
public:
    static constexpr int kColumnCount = 7;
    // Header texts; the first three are the tree's classic columns.
    static const char* const kColumnTitles[kColumnCount];

    DeviceInventory() = default;

    void clear();
    // Product names by product id ("74" -> "TARN-IO"), shown in the Product column.
    void setProductName(const std::string& productId, const std::string& name);

    // Would a new device be shown under the current filter?
    bool passesFilter(const DeviceEntry& entry) const;
    // Lists a device answering at timeMs (milliseconds since the epoch). It is shown at the end
    // when it passes the filter. Returns its device number.
    int add(const DeviceEntry& entry, std::int64_t timeMs);
    // The device listed with this MAC text (letter case ignored), or -1.
    int find(std::string_view macText) const;
    // A later reply of a listed device: only its time changes.
    void heardAgain(int device, std::int64_t timeMs);
    // A reply with a listed device's MAC from `ip`: from the device's own address it is the device
    // again (its time changes); from another address, the device is marked as claimed by two
    // addresses. True when the mark is new.
    bool claimedBy(int device, std::string_view ip, std::int64_t timeMs);
    // The other address of a device two addresses claim; empty for the others.
    std::string_view conflictAddress(int device) const { return devices_.conflictAddress(device); }

    int deviceCount() const { return devices_.size(); }
    DeviceEntry device(int number) const { return devices_.entry(number); }
    std::int64_t lastReplyMs(int number) const { return devices_.lastReplyMs(number); }
    // The text a column shows for a device.
    std::string text(int number, int column) const;

    // The shown order: position 0 is the top row.
    int shownCount() const { return static_cast<int>(shown_.size()); }
    int deviceAt(int position) const { return shown_.at(static_cast<std::size_t>(position)); }
    DeviceEntry shownEntry(int position) const { return device(deviceAt(position)); }
    // The position of a device, or -1 when the filter hides it.
    int positionOf(int number) const { return position_.at(static_cast<std::size_t>(number)); }

    // A header click: sorts the whole list by the column (stable), ascending unless the column was
    // just sorted ascending. Returns the new direction.
    SortDirection sortByColumn(int column);
    // Shows only the devices whose name, IP, MAC, product or version matches the pattern, in the
    // current order. An empty pattern shows all.
    void setFilter(std::string_view pattern);

    // The first shown position from `from` on (wrapping round) whose device name starts with the
    // text, letter case ignored; -1 if none. Type-ahead in the list.
    int findByNamePrefix(std::string_view text, int from) const;

    // Marks over the shown positions.
    TreeSelection& selection() { return selection_; }
    const TreeSelection& selection() const { return selection_; }
    std::vector<DeviceEntry> selectedEntries() const;

private:
    bool shows(int number) const;
    bool productMatchesFilter(std::string_view productId) const;
    // Any column but the time; the buffer holds the texts made.
    std::string_view columnText(int number, int column, DeviceTextBuffer& buffer) const;
    void showInOrder();  // shown_ := the devices of order_ that pass the filter

    DeviceRecords devices_;
    std::vector<int> order_;     // every device number, in the list's order
    std::vector<int> shown_;     // the numbers of order_ that pass the filter
    std::vector<int> position_;  // device number -> position in shown_, or -1
    ListedMacs listedMacs_;
    std::map<std::string, std::string, std::less<>> productNames_;
    DeviceFilter filter_;
    ColumnSortState sortState_{kColumnCount};
    TreeSelection selection_;
};

// "HH:MM:SS" of a time in milliseconds since the epoch, in local time.
std::string clockText(std::int64_t timeMs);

}  // namespace tarn
