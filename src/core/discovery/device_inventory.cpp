#include "core/discovery/device_inventory.h"

#include <algorithm>
#include <ctime>

namespace tarn {

const char* const DeviceInventory::kColumnTitles[kColumnCount] = {"Device",  "IP",       "MAC",       "Product",
                                                                  "Version", "Found by", "Last reply"};

void DeviceInventory::clear() {
    // Everything goes back to the system: a flood of replies must not keep its memory after the list
    // is cleared.
    devices_.clear();
    order_ = {};
    shown_ = {};
    position_ = {};
    listedMacs_.clear();
    selection_.reset(0);
    sortState_ = ColumnSortState{kColumnCount};  // the next devices come in discovery order
}

void DeviceInventory::setProductName(const std::string& productId, const std::string& name) {
    productNames_[productId] = name;
}

bool DeviceInventory::productMatchesFilter(std::string_view productId) const {
    if (filter_.matches(productId)) return true;
    const auto product = productNames_.find(productId);
    return product != productNames_.end() && filter_.matches(product->second);
}

bool DeviceInventory::passesFilter(const DeviceEntry& e) const {
    return filter_.empty() || filter_.matches(e.name) || filter_.matches(e.ip) || filter_.matches(e.mac) ||
           productMatchesFilter(e.productId) || filter_.matches(e.version);
}

bool DeviceInventory::shows(int number) const {
    if (filter_.empty() || filter_.matches(devices_.name(number))) return true;
    // The texts are made one at a time, and only as far as the filter needs them.
    DeviceTextBuffer buffer;
    return filter_.matches(devices_.text(number, kIpColumn, buffer)) ||
           filter_.matches(devices_.text(number, kMacColumn, buffer)) ||
           productMatchesFilter(devices_.text(number, kProductColumn, buffer)) ||
           filter_.matches(devices_.text(number, kVersionColumn, buffer));
}

int DeviceInventory::add(const DeviceEntry& entry, std::int64_t timeMs) {
    std::uint64_t mac = 0;
    const int number = devices_.add(entry, timeMs);
    if (devices_.macNumber(number, mac)) {
        listedMacs_.add(mac, number);
    } else {
        DeviceTextBuffer buffer;
        listedMacs_.add(devices_.text(number, kMacColumn, buffer), number);
    }
    const bool shown = shows(number);
    order_.push_back(number);
    position_.push_back(shown ? shownCount() : -1);
    if (shown) {
        shown_.push_back(number);
        selection_.append();
    }
    return number;
}

int DeviceInventory::find(std::string_view macText) const { return listedMacs_.find(macText).value_or(-1); }

void DeviceInventory::heardAgain(int device, std::int64_t timeMs) {
    if (device >= 0 && device < deviceCount()) devices_.setLastReplyMs(device, timeMs);
}

bool DeviceInventory::claimedBy(int device, std::string_view ip, std::int64_t timeMs) {
    if (device < 0 || device >= deviceCount()) return false;
    DeviceTextBuffer buffer;
    if (devices_.text(device, kIpColumn, buffer) == ip) {
        heardAgain(device, timeMs);
        return false;
    }
    if (!devices_.conflictAddress(device).empty()) return false;
    devices_.setConflictAddress(device, std::string(ip));
    return true;
}

std::string DeviceInventory::text(int number, int column) const {
    if (column == kLastReplyColumn) return clockText(lastReplyMs(number));
    DeviceTextBuffer buffer;
    return column >= 0 && column < kColumnCount ? std::string(columnText(number, column, buffer)) : std::string();
}

void DeviceInventory::showInOrder() {
    std::vector<int> shown;
    shown.reserve(order_.size());
    for (int number : order_)
        if (shows(number)) shown.push_back(number);
    // The marks move with their devices; a device that was hidden comes back unmarked.
    std::vector<int> oldPositions(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) oldPositions[i] = position_[static_cast<std::size_t>(shown[i])];
    selection_.reorder(oldPositions);
    std::fill(position_.begin(), position_.end(), -1);
    for (std::size_t i = 0; i < shown.size(); ++i) position_[static_cast<std::size_t>(shown[i])] = static_cast<int>(i);
    shown_ = std::move(shown);
}

std::string_view DeviceInventory::columnText(int number, int column, DeviceTextBuffer& buffer) const {
    switch (column) {
        case kNameColumn:
        case kIpColumn:
        case kMacColumn:
        case kVersionColumn:
            return devices_.text(number, column, buffer);
        case kProductColumn: {
            const std::string_view id = devices_.text(number, column, buffer);
            const auto product = productNames_.find(id);
            return product == productNames_.end() ? id : std::string_view(product->second);
        }
        default:
            return devices_.foundByTypedAddress(number) ? "Q" : "N";
    }
}

SortDirection DeviceInventory::sortByColumn(int column) {
    if (column < 0 || column >= kColumnCount) return SortDirection::None;
    const SortDirection direction = sortState_.click(column);
    const bool descending = direction == SortDirection::Descending;
    if (column == kLastReplyColumn) {  // by time, not by the clock texts
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return descending ? lastReplyMs(a) > lastReplyMs(b) : lastReplyMs(a) < lastReplyMs(b);
        });
    } else {
        std::vector<DeviceSortKey> keys;
        keys.reserve(static_cast<std::size_t>(deviceCount()));
        DeviceTextBuffer buffer;
        for (int n = 0; n < deviceCount(); ++n) keys.emplace_back(columnText(n, column, buffer));
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            const int c = compare(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]);
            return descending ? c > 0 : c < 0;
        });
    }
    showInOrder();
    return direction;
}

void DeviceInventory::setFilter(std::string_view pattern) {
    filter_ = DeviceFilter(pattern);
    showInOrder();
}

int DeviceInventory::findByNamePrefix(std::string_view prefix, int from) const {
    const int n = shownCount();
    if (n == 0 || prefix.empty()) return -1;
    from = std::clamp(from, 0, n - 1);
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (int k = 0; k < n; ++k) {
        const int position = (from + k) % n;
        const std::string_view name = devices_.name(deviceAt(position));
        if (name.size() >= prefix.size() &&
            std::equal(prefix.begin(), prefix.end(), name.begin(), [&](char a, char b) { return fold(a) == fold(b); }))
            return position;
    }
    return -1;
}

std::vector<DeviceEntry> DeviceInventory::selectedEntries() const {
    std::vector<DeviceEntry> out;
    for (int position : selection_.selectedItems()) out.push_back(shownEntry(position));
    return out;
}

std::string clockText(std::int64_t timeMs) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace tarn
