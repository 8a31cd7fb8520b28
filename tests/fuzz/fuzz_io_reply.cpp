// Fuzz target: the reply dispatcher and the command engine. The first byte chooses the command in
// flight; the rest arrives as received bytes, while the engine retransmits, times out and reports.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/iolink/io_engine.h"
#include "core/iolink/io_reply.h"

namespace {

struct Host : tarn::IoEngineHost {
    int results = 0;
    int sends = 0;
    bool sendFrame(std::string_view frame) override {
        if (frame.size() > tarn::kMaxRequestFrameBytes) __builtin_trap();
        ++sends;
        return true;
    }
    void startReplyTimer(int) override {}
    void stopReplyTimer() override {}
    void ioResult(int, int) override { ++results; }
    void ioLinkLost() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int index = data[0] % 16;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    // The dispatcher alone, on the bytes as one payload.
    tarn::IoConfig config;
    tarn::IoStatus status;
    tarn::applyIoReply(bytes, index, config, status);
    if (config.macroText.size() > tarn::kMaxMacroTextLength || config.pulseText.size() > tarn::kMaxPulseTextLength)
        __builtin_trap();

    // The engine, with two requests queued and the bytes arriving in two pieces.
    Host host;
    tarn::IoCommandEngine engine(host);
    engine.onLinkOpened();
    engine.QueueRequest("130", index);
    engine.QueueRequest("030", 0);
    engine.onBytesReceived(bytes.substr(0, bytes.size() / 2));
    engine.onBytesReceived(bytes.substr(bytes.size() / 2));
    // Time-outs until both are reported: one for a request in flight, one more for a reply owed after
    // a time-out (the engine drains the line before it sends again).
    for (int i = 0; i < 8 && host.results < 2; ++i) engine.onReplyTimeout();
    // Each request is reported exactly once; a NAK costs at most three more sends.
    if (host.results != 2 || host.sends > 2 * (1 + tarn::kMaxRetransmissions)) __builtin_trap();
    return 0;
}
