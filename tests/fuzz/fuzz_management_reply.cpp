// Fuzz target: the head of management replies, in both byte orders.
#include <cstddef>
#include <cstdint>

#include "core/discovery/management_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarn::ByteView bytes(data, size);
    for (auto order : {tarn::ByteOrder::Big, tarn::ByteOrder::Little}) {
        const auto h = tarn::parseReplyHeader(bytes, order);
        if (!h) continue;
        // The body view must lie inside the datagram.
        if (h->body.data() < data || h->body.data() + h->body.size() > data + size) __builtin_trap();
        std::uint32_t sum = 0;
        for (std::uint8_t b : h->body) sum += b;
        (void)sum;
    }
    return 0;
}
