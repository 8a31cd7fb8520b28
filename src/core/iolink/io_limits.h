// The numbers that bound the I/O command link, in one place: frame sizes, the reply time-out and
// the retransmission budget.
#pragma once

#include <cstddef>

namespace tarn {

// A frame is ":" + LL + payload + CC + CR + LF, so it is seven bytes longer than its payload.
constexpr std::size_t kFrameOverheadBytes = 7;

// A request frame is at most 100 bytes (so a payload of at most 93 characters): the longest frame
// a device is known to take.
constexpr std::size_t kMaxRequestFrameBytes = 100;
constexpr std::size_t kMaxRequestPayload = kMaxRequestFrameBytes - kFrameOverheadBytes;

// A device keeps up to 106 macro characters per output port, and a macro reply may carry them all.
constexpr std::size_t kMaxMacroTextLength = 106;
// The longest macro the program writes: "05" + port "NN" + mode "1" + macro must fit one request
// frame, which leaves 88 characters. A longer macro is refused, never cut.
constexpr std::size_t kMaxMacroLength = kMaxRequestPayload - 5;
constexpr std::size_t kMaxPulseTextLength = 11;

// The receiver keeps at most this many bytes of one frame, ":" and line feed included; a longer
// run without a line feed is dropped.
constexpr std::size_t kMaxReceivedFrameBytes = 256;
// Transports hand received bytes over in chunks of at most this size.
constexpr std::size_t kMaxChunkBytes = 1000;

// The device must answer a request within this time, counted from the first send.
constexpr int kReplyTimeoutMs = 3000;
// A negative acknowledgement is answered by sending the request again, at most this many times;
// the next one fails the request.
constexpr int kMaxRetransmissions = 3;

}  // namespace tarn
