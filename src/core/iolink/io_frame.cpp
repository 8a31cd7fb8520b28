#include "core/iolink/io_frame.h"

#include "core/iolink/io_limits.h"

namespace tarn {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::array<char, 2> ioChecksumText(std::uint8_t xorValue) {
    if (xorValue >= 0x80) return {'F', 'F'};
    return {kHexDigits[xorValue >> 4], kHexDigits[xorValue & 0x0F]};
}

std::uint8_t ioXor(std::string_view bytes) {
    std::uint8_t x = 0;
    for (char c : bytes) x ^= static_cast<std::uint8_t>(c);
    return x;
}

std::optional<std::string> buildIoFrame(std::string_view payload) {
    if (payload.size() > 0xFF) return std::nullopt;
    std::string frame;
    frame.reserve(payload.size() + kFrameOverheadBytes);
    frame += ':';
    frame += kHexDigits[payload.size() >> 4];
    frame += kHexDigits[payload.size() & 0x0F];
    frame += payload;
    const auto cc = ioChecksumText(ioXor(frame));
    frame += cc[0];
    frame += cc[1];
    frame += "\r\n";
    return frame;
}

bool checkIoFrame(std::string_view frame) {
    const std::size_t n = frame.size();
    if (n < kFrameOverheadBytes) return false;
    const auto cc = ioChecksumText(ioXor(frame.substr(0, n - 4)));
    return frame[n - 4] == cc[0] && frame[n - 3] == cc[1];
}

std::string_view ioFramePayload(std::string_view frame) {
    if (frame.size() < kFrameOverheadBytes) return {};
    return frame.substr(3, frame.size() - kFrameOverheadBytes);
}

}  // namespace tarn
