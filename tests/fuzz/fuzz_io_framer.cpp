// Fuzz target: the I/O frame cutter and the received-frame check, over bytes in arbitrary pieces.
// The first byte chooses the piece size; the block-wise cutter must agree with the byte rule.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/iolink/io_frame.h"
#include "core/iolink/io_framer.h"

namespace {

// The cutter's rule taken one byte at a time, to compare the block-wise cutter against.
struct ReferenceCutter {
    std::string buffer;
    bool inFrame = false;
    std::vector<std::string> frames;
    void feed(std::string_view chunk) {
        for (char c : chunk) {
            if (buffer.size() == tarn::kMaxReceivedFrameBytes) {
                buffer.clear();
                inFrame = false;
            }
            if (c == ':' && !inFrame) {
                buffer = ":";
                inFrame = true;
            } else if (inFrame) {
                buffer += c;
                if (c == '\n') {
                    frames.push_back(buffer);
                    buffer.clear();
                    inFrame = false;
                }
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] < 192 ? data[0] % 64 + 1 : size;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    tarn::IoFramer framer;
    ReferenceCutter reference;
    std::vector<std::string> frames;
    std::size_t frameBytes = 0;
    while (!rest.empty()) {
        const std::string_view chunk = rest.substr(0, piece);
        rest.remove_prefix(chunk.size());
        reference.feed(chunk);
        framer.feed(chunk, [&](std::string_view frame) {
            frames.emplace_back(frame);
            if (frame.empty() || frame.front() != ':' || frame.back() != '\n' ||
                frame.size() > tarn::kMaxReceivedFrameBytes)
                __builtin_trap();
            frameBytes += frame.size();
            if (tarn::checkIoFrame(frame) && tarn::ioFramePayload(frame).size() + 7 != frame.size()) __builtin_trap();
        });
        if (framer.pendingBytes() > tarn::kMaxReceivedFrameBytes) __builtin_trap();
    }
    if (frameBytes > size || frames != reference.frames) __builtin_trap();
    return 0;
}
