// The frame cutter of the I/O link: fed with received bytes in whatever pieces the transport
// delivers, it hands out every complete frame (":" through line feed) in order.
//
// Bytes outside a frame (noise, a lost start character) are skipped. A ":" inside a frame is an
// ordinary byte. A frame that reaches kMaxReceivedFrameBytes without its line feed is dropped and
// the cutter waits for the next ":". The cutter does not check checksums; see checkIoFrame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/iolink/io_limits.h"

namespace tarn {

class IoFramer {
public:
    // Feeds one chunk; calls sink(std::string_view frame) for each frame completed by it. The view
    // is valid only during the call.
    template <typename Sink>
    void feed(std::string_view chunk, Sink&& sink) {
        for (char c : chunk) {
            if (length_ == kMaxReceivedFrameBytes) {
                length_ = 0;
                inFrame_ = false;
            }
            if (!inFrame_) {
                if (c != ':') continue;
                buffer_[0] = ':';
                length_ = 1;
                inFrame_ = true;
                continue;
            }
            buffer_[length_++] = c;
            if (c == '\n') {
                const std::size_t n = length_;
                length_ = 0;
                inFrame_ = false;
                sink(std::string_view(buffer_.data(), n));
            }
        }
    }

    // Convenience for callers that want the frames as values.
    std::vector<std::string> feed(std::string_view chunk) {
        std::vector<std::string> frames;
        feed(chunk, [&](std::string_view f) { frames.emplace_back(f); });
        return frames;
    }

    // Forgets a partial frame.
    void reset() {
        length_ = 0;
        inFrame_ = false;
    }
    bool inFrame() const { return inFrame_; }
    std::size_t pendingBytes() const { return length_; }

private:
    std::array<char, kMaxReceivedFrameBytes> buffer_{};
    std::size_t length_ = 0;
    bool inFrame_ = false;
};

}  // namespace tarn
