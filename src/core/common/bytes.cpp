#include "core/common/bytes.h"

#include <cstdio>

namespace tarn {

int productNumberFromId(const std::string& productId) {
    int number = 0;
    int digits = 0;
    for (char c : productId) {
        if (c < '0' || c > '9' || digits == 2) break;
        number = number * 10 + (c - '0');
        ++digits;
    }
    return number;
}

void writeU16(std::uint8_t* at, std::uint16_t value, ByteOrder order) {
    const auto high = static_cast<std::uint8_t>(value >> 8);
    const auto low = static_cast<std::uint8_t>(value & 0xFF);
    at[0] = order == ByteOrder::Big ? high : low;
    at[1] = order == ByteOrder::Big ? low : high;
}

void appendU16(Bytes& out, std::uint16_t value, ByteOrder order) {
    std::uint8_t buf[2];
    writeU16(buf, value, order);
    out.insert(out.end(), buf, buf + 2);
}

void appendU32(Bytes& out, std::uint32_t value, ByteOrder order) {
    for (int i = 0; i < 4; ++i) {
        const int shift = order == ByteOrder::Big ? 24 - 8 * i : 8 * i;
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint16_t readU16(const std::uint8_t* at, ByteOrder order) {
    return order == ByteOrder::Big ? static_cast<std::uint16_t>(at[0] << 8 | at[1])
                                   : static_cast<std::uint16_t>(at[1] << 8 | at[0]);
}

std::uint32_t readU32(const std::uint8_t* at, ByteOrder order) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t b = order == ByteOrder::Big ? at[i] : at[3 - i];
        value = value << 8 | b;
    }
    return value;
}

std::string hexDump(ByteView bytes) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) out += ' ';
        out += buf;
    }
    return out;
}

}  // namespace tarn
