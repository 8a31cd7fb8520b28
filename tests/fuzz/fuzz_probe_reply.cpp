// Fuzz target: discovery replies as the tree socket receives them.
#include <cstddef>
#include <cstdint>

#include "core/discovery/probe_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarn::ByteView bytes(data, size);
    int calls = 0;
    const auto out = tarn::readProbeReply(bytes, "127.0.0.1", size % 2 == 0, [&](std::string_view mac) {
        ++calls;
        return mac.size() != 17;  // never true for a well-formed MAC text
    });
    if (out.verdict == tarn::ProbeVerdict::Accepted && (out.entry.mac.size() != 17 || out.entry.name.size() > size))
        __builtin_trap();
    return 0;
}
