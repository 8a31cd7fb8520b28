// Request frames of the I/O command protocol: building them and checking received ones.
//
//   offset  0    1..2   3 .. 2+n    3+n..4+n   5+n   6+n
//          +---+------+-----------+----------+-----+-----+
//          | : |  LL  |  payload  |    CC    |  CR |  LF |
//          +---+------+-----------+----------+-----+-----+
//   LL: payload length, two upper-case hex digits ("%02X")
//   CC: XOR of every byte from ":" through the last payload byte, as two upper-case hex digits,
//       except that an XOR of 0x80 or more is written "FF" (the device renders the byte as a
//       sign-extended int and keeps the first two digits of "FFFFFF..").
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The two checksum characters for an XOR value, with the "FF" rule for 0x80 and above.
std::array<char, 2> ioChecksumText(std::uint8_t xorValue);

// XOR of every byte of `bytes`.
std::uint8_t ioXor(std::string_view bytes);

// The whole frame for a payload. Payloads longer than 255 characters cannot be framed.
std::optional<std::string> buildIoFrame(std::string_view payload);

// True when a received frame (":" through line feed) has the checksum its bytes call for.
// Frames shorter than seven bytes cannot hold one and fail. The length field and the carriage
// return are not examined: the end of a frame is found by its line feed alone.
bool checkIoFrame(std::string_view frame);

// The payload of a frame that passed checkIoFrame: the bytes between LL and CC.
std::string_view ioFramePayload(std::string_view frame);

}  // namespace tarn
