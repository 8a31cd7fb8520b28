// How many devices one probe keeps. Replies with ever new MACs are cheap to send, and each kept
// device costs memory: past the limit a reply is counted, not kept, and the operator is told.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

// The limit of the window (Options) and of tarnctl (--max-devices) unless the operator sets another.
constexpr int kDefaultMaxDevices = 200000;
constexpr int kMaxMaxDevices = 10000000;

class DeviceLimit {
public:
    explicit DeviceLimit(int maxDevices = kDefaultMaxDevices) : max_(maxDevices) {}

    // True when a new device may be kept beside `kept` others; else the reply is counted as ignored.
    bool admits(std::size_t kept);
    int max() const { return max_; }
    std::uint64_t ignored() const { return ignored_; }
    void reset() { ignored_ = 0; }
    // "3 more replies were ignored: more than 200,000 devices answered"; empty while none was.
    std::string message() const;

private:
    int max_;
    std::uint64_t ignored_ = 0;
};

}  // namespace tarn
