// The numbers that bound the I/O command link, in one place: frame sizes, the reply time-out and
// the retransmission budget.
#pragma once

#include <cstddef>

namespace tarn {

// A frame is ":" + LL + payload + CC + CR + LF, so it is seven bytes longer than its payload.
constexpr std::size_t kFrameOverheadBytes = 7;

// The longest macro an output port can hold, and so the longest request the program ever sends:
// "05" + port "NN" + mode "1" + 106 macro characters.
constexpr std::size_t kMaxMacroLength = 106;
constexpr std::size_t kMaxPulseTextLength = 11;
constexpr std::size_t kMaxRequestPayload = 5 + kMaxMacroLength;
// A queued request keeps its whole frame, so every request the command set can build fits.
constexpr std::size_t kMaxRequestFrameBytes = kMaxRequestPayload + kFrameOverheadBytes;

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
