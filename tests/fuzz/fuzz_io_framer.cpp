// Fuzz target: the I/O frame cutter and the received-frame check, over bytes in arbitrary pieces.
// The first byte chooses the piece size.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/iolink/io_frame.h"
#include "core/iolink/io_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] % 64 + 1;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    tarn::IoFramer framer;
    std::size_t frameBytes = 0;
    while (!rest.empty()) {
        const std::string_view chunk = rest.substr(0, piece);
        rest.remove_prefix(chunk.size());
        framer.feed(chunk, [&](std::string_view frame) {
            if (frame.empty() || frame.front() != ':' || frame.back() != '\n' ||
                frame.size() > tarn::kMaxReceivedFrameBytes)
                __builtin_trap();
            frameBytes += frame.size();
            if (tarn::checkIoFrame(frame) && tarn::ioFramePayload(frame).size() + 7 != frame.size()) __builtin_trap();
        });
        if (framer.pendingBytes() > tarn::kMaxReceivedFrameBytes) __builtin_trap();
    }
    if (frameBytes > size) __builtin_trap();
    return 0;
}
