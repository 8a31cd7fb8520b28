// The traffic log: one entry per management datagram or I/O frame, sent or received, as the
// Traffic window and `tarnctl --trace` show it. Entries are built by the decoders next to the
// formats they decode (core/manage/management_traffic.h, core/iolink/io_traffic.h); this file holds
// the entry, its text form and the bounded ring that keeps the latest entries.
//
//   14:03:07.123  sent  127.0.0.11:2002  27  GetValues  rid 0x1234  to 127.0.0.11
//       0000  03 A8 16 DA 05 61 64 6D 69 6E 02 2A 2A 00 0C 12  .....admin.**...
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "core/common/bytes.h"

namespace tarn {

enum class TrafficDirection { Sent, Received };

struct TrafficEntry {
    std::int64_t timeMs = 0;  // milliseconds since the epoch
    TrafficDirection direction = TrafficDirection::Sent;
    std::string peer;        // "address:port", or the serial device
    std::size_t length = 0;  // bytes on the wire
    std::string summary;
    Bytes bytes;  // the bytes as they may be shown: passwords masked
};

// The byte that stands for each byte of a password wherever traffic is shown.
constexpr std::uint8_t kMaskedByte = '*';

// "hh:mm:ss.mmm" in local time.
std::string trafficTimeText(std::int64_t timeMs);
// "sent" or "recv".
std::string_view trafficDirectionText(TrafficDirection direction);
// "03 A8 16 DA" with at most maxBytes bytes, then " ..." when there are more.
std::string hexText(ByteView bytes, std::size_t maxBytes);
// Printable ASCII as itself, every other byte as '.'.
std::string asciiText(ByteView bytes);
// Sixteen bytes per line: "    0000  03 A8 .. 16  ..ascii..", each line ending in a line feed.
std::string hexAsciiDump(ByteView bytes);
// The head line (time, direction, peer, length, summary) and the dump: the saved file and --trace.
std::string formatTrafficEntry(const TrafficEntry& entry);

// The latest entries, oldest first; the oldest goes when a new one would exceed the capacity.
class TrafficRing {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;

    explicit TrafficRing(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}
    // Appends an entry; returns true when the oldest one was dropped to make room.
    bool push(TrafficEntry entry);
    // Removes the n oldest entries (all of them when there are fewer).
    void dropOldest(std::size_t n);
    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }
    std::size_t capacity() const { return capacity_; }
    const TrafficEntry& at(std::size_t index) const { return entries_.at(index); }

private:
    std::size_t capacity_;
    std::deque<TrafficEntry> entries_;
};

}  // namespace tarn
