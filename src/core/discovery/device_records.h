// How the device inventory keeps its devices: one compact record of 64 bytes per device instead of
// a DeviceEntry of seven strings (some 220 bytes, the MAC text on the heap), so that a probe of
// 100,000 devices writes a quarter of the memory. The MAC is kept as its 48-bit number, the address
// as its 32 bits, product id, version and addressing kind as bytes, and a name of up to 32 bytes
// inside the record (longer ones in a shared pool). The texts are made again only when asked for: a
// visible row, the filter, a sort, the selection handed to a device job.
//
// Every DeviceEntry comes back exactly as it went in: a device whose texts are not in the form the
// reply reader makes (a MAC in lower case, an address with a leading zero...) is kept whole beside the
// records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/device_entry.h"

namespace tarn {

// Room for the longest text a record makes but the name (a MAC text has 17 characters).
struct DeviceTextBuffer {
    char bytes[24];
};

class DeviceRecords {
public:
    // Forgets every device and gives their memory back.
    void clear();
    // Keeps a device answering at timeMs; returns its number (0, 1, 2... in the order added).
    int add(const DeviceEntry& entry, std::int64_t timeMs);
    int size() const { return count_; }

    DeviceEntry entry(int number) const;
    std::string_view name(int number) const;
    // Text 0..4 of the entry (name, IP, MAC, product id, version); the buffer holds the texts made.
    std::string_view text(int number, int index, DeviceTextBuffer& buffer) const;
    bool foundByTypedAddress(int number) const;
    // The MAC's 48-bit number, when the device's MAC text has the usual form (else none).
    bool macNumber(int number, std::uint64_t& mac) const;
    std::int64_t lastReplyMs(int number) const { return record(number).lastReplyMs; }
    void setLastReplyMs(int number, std::int64_t timeMs) { record(number).lastReplyMs = timeMs; }
    // Another address answered with the device's MAC (DeviceEntry::conflictAddress).
    void setConflictAddress(int number, const std::string& address);
    std::string_view conflictAddress(int number) const;

private:
    struct Record {
        std::int64_t lastReplyMs;
        std::uint64_t mac;     // m1 in the highest of 48 bits
        std::uint32_t ip;      // a.b.c.d as a << 24 | b << 16 | c << 8 | d
        std::uint32_t where;   // a long name's offset in longNames_, or the index in unusual_
        std::uint8_t product;  // the product id byte, "%02d"
        std::uint8_t major;    // version "%d.%d"
        std::uint8_t minor;
        std::uint8_t kind;        // addressing kind
        std::uint8_t flags;       // kTyped, kUnusual
        std::uint8_t nameSize;    // the name's length: in `name` up to kInlineName bytes, else in longNames_
        std::uint16_t broadcast;  // 0: none; else index + 1 in broadcasts_
        char name[32];
    };
    static_assert(sizeof(Record) == 64, "a record fills one cache line");
    static constexpr std::size_t kInlineName = sizeof(Record::name);
    static constexpr std::uint8_t kTyped = 1;
    static constexpr std::uint8_t kUnusual = 2;
    // Records lie in blocks that never move: a burst costs one allocation per block, and a block keeps
    // its room for the next probe.
    static constexpr int kBlock = 4096;

    const Record& record(int number) const;
    Record& record(int number);
    bool pack(const DeviceEntry& entry, Record& r);

    std::vector<std::vector<Record>> blocks_;  // each reserved for kBlock records
    int count_ = 0;
    std::string longNames_;
    std::vector<std::string> broadcasts_;  // the few directed broadcast addresses devices were heard on
    std::vector<DeviceEntry> unusual_;     // entries kept whole
};

}  // namespace tarn
