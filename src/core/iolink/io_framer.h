// The frame cutter of the I/O link: fed with received bytes in whatever pieces the transport
// delivers, it hands out every complete frame (":" through line feed) in order.
//
// Bytes outside a frame (noise, a lost start character) are skipped. A ":" inside a frame is an
// ordinary byte. A frame that reaches kMaxReceivedFrameBytes without its line feed is dropped and
// the cutter waits for the next ":". The cutter does not check checksums; see checkIoFrame.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
        // Byte by byte this is: a full buffer is dropped before the next byte is looked at; outside
        // a frame only ":" counts; inside, every byte is kept and a line feed ends the frame. Runs
        // of bytes are searched and copied in blocks.
        while (!chunk.empty()) {
            if (inFrame_ && length_ == kMaxReceivedFrameBytes) {
                length_ = 0;
                inFrame_ = false;
            }
            if (!inFrame_) {
                const void* start = std::memchr(chunk.data(), ':', chunk.size());
                if (!start) return;
                chunk.remove_prefix(static_cast<const char*>(start) - chunk.data() + 1);
                buffer_[0] = ':';
                length_ = 1;
                inFrame_ = true;
                continue;
            }
            const std::size_t n = std::min(kMaxReceivedFrameBytes - length_, chunk.size());
            const void* lf = std::memchr(chunk.data(), '\n', n);
            const std::size_t take = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - chunk.data()) + 1 : n;
            std::memcpy(buffer_.data() + length_, chunk.data(), take);
            length_ += take;
            chunk.remove_prefix(take);
            if (lf) {
                const std::size_t frameLength = length_;
                length_ = 0;
                inFrame_ = false;
                sink(std::string_view(buffer_.data(), frameLength));
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
