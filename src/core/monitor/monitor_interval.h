// The monitor's poll interval and its file, "MonInter.dat": exactly 4 bytes, the interval in
// seconds as a 32-bit little-endian signed integer, no header.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

inline constexpr std::string_view kMonitorIntervalFileName = "MonInter.dat";
constexpr int kDefaultMonitorInterval = 2;
// The choices of the interval dialog.
constexpr int kMinListedInterval = 2;
constexpr int kMaxListedInterval = 10;

// The interval stored in the file. A missing, unreadable or short file, and a value that is not a
// usable period (0, negative, or too long to count in milliseconds), give kDefaultMonitorInterval.
int loadMonitorInterval(const std::string& path);
// Writes the file completely or not at all; false when it cannot be written.
bool storeMonitorInterval(const std::string& path, int seconds);

}  // namespace tarn
