#include "core/discovery/device_records.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>

#include "core/discovery/listed_macs.h"
#include "core/discovery/management_message.h"

namespace tarn {

namespace {

// Broadcast addresses are looked up by a walk; a device that brings more than this many distinct
// ones is kept whole instead.
constexpr std::size_t kMaxBroadcasts = 64;

// The decimal digits of a byte at `out`; returns the end.
char* decimal(std::uint8_t value, char* out) {
    if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

// A decimal byte as decimal() writes it (no sign, no leading zero) at `at`, followed by `end`
// (the end of the text when `end` is 0). Moves `at` past it.
bool readByte(std::string_view t, std::size_t& at, char end, std::uint8_t& value) {
    const std::size_t start = at;
    unsigned v = 0;
    while (at < t.size() && at - start < 3 && t[at] >= '0' && t[at] <= '9')
        v = v * 10 + static_cast<unsigned>(t[at++] - '0');
    const std::size_t digits = at - start;
    if (digits == 0 || v > 255 || (digits > 1 && t[start] == '0')) return false;
    value = static_cast<std::uint8_t>(v);
    if (end == 0) return at == t.size();
    if (at >= t.size() || t[at] != end) return false;
    ++at;
    return true;
}

bool readIp(std::string_view t, std::uint32_t& ip) {
    std::size_t at = 0;
    std::uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        std::uint8_t b = 0;
        if (!readByte(t, at, part < 3 ? '.' : 0, b)) return false;
        value = value << 8 | b;
    }
    ip = value;
    return true;
}

char* ipText(std::uint32_t ip, char* out) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out = decimal(static_cast<std::uint8_t>(ip >> shift), out);
        if (shift > 0) *out++ = '.';
    }
    return out;
}

MacAddress macBytes(std::uint64_t mac) {
    MacAddress bytes{};
    for (std::size_t i = 0; i < 6; ++i) bytes[i] = static_cast<std::uint8_t>(mac >> (40 - 8 * i));
    return bytes;
}

char* macText(std::uint64_t mac, char* out) { return writeMacText(macBytes(mac), out); }

// Only the upper-case text the reply reader makes: any other comes back from the record as it was.
bool readMac(std::string_view t, std::uint64_t& mac) {
    const std::optional<std::uint64_t> number = ListedMacs::number(t);
    if (!number || std::any_of(t.begin(), t.end(), [](char c) { return c >= 'a' && c <= 'f'; })) return false;
    mac = *number;
    return true;
}

// "%02d" of the product id byte.
char* productText(std::uint8_t product, char* out) {
    if (product < 10) *out++ = '0';
    return decimal(product, out);
}

bool readProduct(std::string_view t, std::uint8_t& product) {
    if (t.size() == 2 && t[0] == '0' && t[1] >= '0' && t[1] <= '9') {
        product = static_cast<std::uint8_t>(t[1] - '0');
        return true;
    }
    std::size_t at = 0;
    return t.size() > 1 && readByte(t, at, 0, product);
}

char* versionText(std::uint8_t major, std::uint8_t minor, char* out) {
    out = decimal(major, out);
    *out++ = '.';
    return decimal(minor, out);
}

std::string_view view(const char* begin, const char* end) { return {begin, static_cast<std::size_t>(end - begin)}; }

}  // namespace

void DeviceRecords::clear() {
    // Everything goes back: after a flood of replies the room they took is not kept for the next probe.
    blocks_ = {};
    count_ = 0;
    longNames_ = {};
    broadcasts_ = {};
    unusual_ = {};
}

void DeviceRecords::setConflictAddress(int number, const std::string& address) {
    Record& r = record(number);
    if (!(r.flags & kUnusual)) {
        // Rare: the device is kept whole from now on.
        DeviceEntry whole = entry(number);
        r.flags = kUnusual;
        r.where = static_cast<std::uint32_t>(unusual_.size());
        unusual_.push_back(std::move(whole));
    }
    unusual_[r.where].conflictAddress = address;
}

const DeviceRecords::Record& DeviceRecords::record(int number) const {
    if (number < 0 || number >= count_) throw std::out_of_range("no such device");
    return blocks_[static_cast<std::size_t>(number / kBlock)][static_cast<std::size_t>(number % kBlock)];
}

DeviceRecords::Record& DeviceRecords::record(int number) {
    return const_cast<Record&>(static_cast<const DeviceRecords&>(*this).record(number));
}

bool DeviceRecords::pack(const DeviceEntry& e, Record& r) {
    if (!e.conflictAddress.empty()) return false;
    if (!readIp(e.ip, r.ip) || !readMac(e.mac, r.mac) || !readProduct(e.productId, r.product)) return false;
    std::size_t at = 0;
    if (!readByte(e.version, at, '.', r.major) || !readByte(e.version, at, 0, r.minor)) return false;
    if (e.addressingKind < 0 || e.addressingKind > 255) return false;
    r.kind = static_cast<std::uint8_t>(e.addressingKind);
    r.flags = e.foundByTypedAddress ? kTyped : 0;
    r.broadcast = 0;
    if (!e.broadcastAddress.empty()) {
        const auto known = std::find(broadcasts_.begin(), broadcasts_.end(), e.broadcastAddress);
        if (known == broadcasts_.end() && broadcasts_.size() == kMaxBroadcasts) return false;
        if (known == broadcasts_.end()) broadcasts_.push_back(e.broadcastAddress);
        r.broadcast = static_cast<std::uint16_t>(std::find(broadcasts_.begin(), broadcasts_.end(), e.broadcastAddress) -
                                                 broadcasts_.begin() + 1);
    }
    if (e.name.size() > 255) return false;
    r.nameSize = static_cast<std::uint8_t>(e.name.size());
    if (e.name.size() <= kInlineName) {
        std::memcpy(r.name, e.name.data(), e.name.size());
    } else {
        if (longNames_.size() > std::numeric_limits<std::uint32_t>::max() - e.name.size()) return false;
        r.where = static_cast<std::uint32_t>(longNames_.size());
        longNames_ += e.name;
    }
    return true;
}

int DeviceRecords::add(const DeviceEntry& entry, std::int64_t timeMs) {
    if (count_ == std::numeric_limits<int>::max()) throw std::length_error("too many devices");
    const auto blockIndex = static_cast<std::size_t>(count_ / kBlock);
    if (blockIndex == blocks_.size()) blocks_.emplace_back().reserve(kBlock);
    Record& r = blocks_[blockIndex].emplace_back();
    r.lastReplyMs = timeMs;
    if (!pack(entry, r)) {
        r.flags = kUnusual;
        r.where = static_cast<std::uint32_t>(unusual_.size());
        unusual_.push_back(entry);
    }
    return count_++;
}

std::string_view DeviceRecords::name(int number) const {
    const Record& r = record(number);
    if (r.flags & kUnusual) return unusual_[r.where].name;
    if (r.nameSize <= kInlineName) return {r.name, r.nameSize};
    return std::string_view(longNames_).substr(r.where, r.nameSize);
}

std::string_view DeviceRecords::text(int number, int index, DeviceTextBuffer& buffer) const {
    const Record& r = record(number);
    if (index == 0) return name(number);
    if (r.flags & kUnusual) {
        const DeviceEntry& e = unusual_[r.where];
        switch (index) {
            case 1:
                return e.ip;
            case 2:
                return e.mac;
            case 3:
                return e.productId;
            case 4:
                return e.version;
            default:
                return {};
        }
    }
    char* b = buffer.bytes;
    switch (index) {
        case 1:
            return view(b, ipText(r.ip, b));
        case 2:
            return view(b, macText(r.mac, b));
        case 3:
            return view(b, productText(r.product, b));
        case 4:
            return view(b, versionText(r.major, r.minor, b));
        default:
            return {};
    }
}

std::string_view DeviceRecords::conflictAddress(int number) const {
    const Record& r = record(number);
    return r.flags & kUnusual ? std::string_view(unusual_[r.where].conflictAddress) : std::string_view();
}

bool DeviceRecords::foundByTypedAddress(int number) const {
    const Record& r = record(number);
    return r.flags & kUnusual ? unusual_[r.where].foundByTypedAddress : (r.flags & kTyped) != 0;
}

bool DeviceRecords::macNumber(int number, std::uint64_t& mac) const {
    const Record& r = record(number);
    if (r.flags & kUnusual) return false;
    mac = r.mac;
    return true;
}

DeviceEntry DeviceRecords::entry(int number) const {
    const Record& r = record(number);
    if (r.flags & kUnusual) return unusual_[r.where];
    DeviceEntry e;
    DeviceTextBuffer buffer;
    e.name = name(number);
    e.ip = text(number, 1, buffer);
    e.mac = text(number, 2, buffer);
    e.productId = text(number, 3, buffer);
    e.version = text(number, 4, buffer);
    e.addressingKind = r.kind;
    e.foundByTypedAddress = (r.flags & kTyped) != 0;
    if (r.broadcast != 0) e.broadcastAddress = broadcasts_[r.broadcast - 1u];
    return e;
}

}  // namespace tarn
