#include "core/common/traffic_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace tarn {

std::string trafficTimeText(std::int64_t timeMs) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(timeMs % 1000));
    return text;
}

std::string_view trafficDirectionText(TrafficDirection direction) {
    return direction == TrafficDirection::Sent ? "sent" : "recv";
}

std::string hexText(ByteView bytes, std::size_t maxBytes) {
    std::string out;
    const std::size_t n = std::min(bytes.size(), maxBytes);
    out.reserve(n * 3 + 4);
    char pair[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += pair;
    }
    if (n < bytes.size()) out += " ...";
    return out;
}

std::string asciiText(ByteView bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) out += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    return out;
}

std::string hexAsciiDump(ByteView bytes) {
    constexpr std::size_t kPerLine = 16;
    std::string out;
    char offset[32];
    for (std::size_t at = 0; at < bytes.size(); at += kPerLine) {
        const ByteView line = bytes.subspan(at, std::min(kPerLine, bytes.size() - at));
        std::snprintf(offset, sizeof offset, "    %04zX  ", at);
        std::string hex = hexText(line, kPerLine);
        hex.resize(kPerLine * 3 - 1, ' ');
        out += offset + hex + "  " + asciiText(line) + '\n';
    }
    return out;
}

std::string formatTrafficEntry(const TrafficEntry& e) {
    std::string head = trafficTimeText(e.timeMs);
    head += "  ";
    head += trafficDirectionText(e.direction);
    head += "  " + e.peer + "  " + std::to_string(e.length) + "  " + e.summary + '\n';
    return head + hexAsciiDump(e.bytes);
}

bool TrafficRing::push(TrafficEntry entry) {
    if (capacity_ == 0) return true;
    const bool full = entries_.size() >= capacity_;
    if (full) entries_.pop_front();
    entries_.push_back(std::move(entry));
    return full;
}

void TrafficRing::dropOldest(std::size_t n) {
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(std::min(n, entries_.size())));
}

}  // namespace tarn
