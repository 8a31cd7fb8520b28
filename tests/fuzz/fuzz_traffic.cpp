// Fuzz target: what the traffic log makes of any datagram or frame: the management summaries on
// both sockets and in both directions, the password mask (never longer or shorter than the
// datagram, and no envelope password left), and the I/O summaries of a byte stream cut into frames.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/common/traffic_log.h"
#include "core/discovery/management_message.h"
#include "core/iolink/io_framer.h"
#include "core/iolink/io_traffic.h"
#include "core/manage/management_traffic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarn::ByteView bytes(data, size);
    for (auto channel : {tarn::ManagementChannel::Discovery, tarn::ManagementChannel::Management})
        for (auto direction : {tarn::TrafficDirection::Sent, tarn::TrafficDirection::Received})
            (void)tarn::managementSummary(bytes, direction, channel, "127.0.0.2");
    const tarn::Bytes masked = tarn::maskManagementPasswords(bytes);
    if (masked.size() != size) __builtin_trap();
    if (const auto h = tarn::parseReplyHeader(bytes, tarn::ByteOrder::Big)) {
        const std::size_t at = (h->macForm ? 11u : 4u) + 1 + h->id.size() + 1;
        for (std::size_t i = 0; i < h->password.size(); ++i)
            if (masked[at + i] != tarn::kMaskedByte) __builtin_trap();
    }
    (void)tarn::formatTrafficEntry(tarn::TrafficEntry{0, tarn::TrafficDirection::Received, "x", size, "s", masked});

    tarn::IoFramer framer;
    tarn::IoTrafficDecoder decoder;
    bool sent = true;
    framer.feed(std::string_view(reinterpret_cast<const char*>(data), size), [&](std::string_view frame) {
        (void)(sent ? decoder.sent(frame) : decoder.received(frame));
        sent = !sent;
    });
    return 0;
}
