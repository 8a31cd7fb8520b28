#include "core/discovery/device_inventory.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace tarn {

const char* const DeviceInventory::kColumnTitles[kColumnCount] = {"Device",  "IP",       "MAC",       "Product",
                                                                  "Version", "Found by", "Last reply"};

const DeviceInventory::Listed& DeviceInventory::listed(int number) const {
    if (number < 0 || number >= count_) throw std::out_of_range("no such device");
    return blocks_[static_cast<std::size_t>(number / kBlock)][static_cast<std::size_t>(number % kBlock)];
}

void DeviceInventory::clear() {
    // The blocks keep their room: the next probe of the site lists its devices into memory already
    // in use instead of fresh pages.
    for (std::vector<Listed>& block : blocks_) block.clear();
    count_ = 0;
    order_.clear();
    shown_.clear();
    position_.clear();
    listedMacs_.clear();
    selection_.reset(0);
}

void DeviceInventory::setProductName(const std::string& productId, const std::string& name) {
    productNames_[productId] = name;
}

bool DeviceInventory::passesFilter(const DeviceEntry& e) const {
    if (filter_.empty()) return true;
    if (filter_.matches(e.name) || filter_.matches(e.ip) || filter_.matches(e.mac) || filter_.matches(e.productId))
        return true;
    const auto product = productNames_.find(e.productId);
    return product != productNames_.end() && filter_.matches(product->second);
}

bool DeviceInventory::shows(int number) const { return passesFilter(device(number)); }

int DeviceInventory::add(DeviceEntry&& entry, std::int64_t timeMs) {
    const int number = deviceCount();
    const bool shown = passesFilter(entry);
    listedMacs_.add(entry.mac, number);
    const auto block = static_cast<std::size_t>(number / kBlock);
    if (block == blocks_.size()) blocks_.emplace_back().reserve(kBlock);
    blocks_[block].push_back(Listed{std::move(entry), timeMs});
    ++count_;
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
    if (device >= 0 && device < deviceCount()) listed(device).lastReplyMs = timeMs;
}

std::string DeviceInventory::text(int number, int column) const {
    if (column == kLastReplyColumn) return clockText(lastReplyMs(number));
    return column >= 0 && column < kColumnCount ? std::string(columnText(number, column)) : std::string();
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

std::string_view DeviceInventory::columnText(int number, int column) const {
    const DeviceEntry& e = device(number);
    switch (column) {
        case kNameColumn:
            return e.name;
        case kIpColumn:
            return e.ip;
        case kMacColumn:
            return e.mac;
        case kProductColumn: {
            const auto product = productNames_.find(e.productId);
            return product == productNames_.end() ? std::string_view(e.productId) : std::string_view(product->second);
        }
        case kVersionColumn:
            return e.version;
        default:
            return e.foundByTypedAddress ? "Q" : "N";
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
        keys.reserve(static_cast<std::size_t>(count_));
        for (int n = 0; n < deviceCount(); ++n) keys.emplace_back(columnText(n, column));
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
        const std::string& name = shownEntry(position).name;
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
