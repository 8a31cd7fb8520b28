// Byte-order helpers for the device wire formats: 16- and 32-bit fields in device byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarn {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Devices whose product number is 50 or more talk big-endian, the others little-endian.
enum class ByteOrder { Little, Big };

constexpr int kBigEndianProductNumber = 50;

constexpr ByteOrder byteOrderForProduct(int productNumber) {
    return productNumber >= kBigEndianProductNumber ? ByteOrder::Big : ByteOrder::Little;
}

// The product number is the first two decimal digits of a product id text ("74" -> 74).
// Anything that does not start with a digit gives 0.
int productNumberFromId(const std::string& productId);

void appendU16(Bytes& out, std::uint16_t value, ByteOrder order);
void appendU32(Bytes& out, std::uint32_t value, ByteOrder order);
void writeU16(std::uint8_t* at, std::uint16_t value, ByteOrder order);
std::uint16_t readU16(const std::uint8_t* at, ByteOrder order);
std::uint32_t readU32(const std::uint8_t* at, ByteOrder order);

inline ByteView asBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}
inline std::string asText(ByteView bytes) { return {bytes.begin(), bytes.end()}; }

// "03 A8 16" style hex dump, for diagnostics and tests.
std::string hexDump(ByteView bytes);

}  // namespace tarn
