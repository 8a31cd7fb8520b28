// Serial line settings of the I/O link and the settings text they travel in ("9600, n, 8, 1":
// baud rate, parity letter, data bits, stop bits).
#pragma once

#include <string>
#include <string_view>

namespace tarn {

enum class SerialParity { None = 0, Odd = 1, Even = 2 };
enum class SerialStopBits { One = 0, OneAndHalf = 1, Two = 2 };

struct SerialLineSettings {
    int baudRate = 9600;
    int dataBits = 8;
    SerialParity parity = SerialParity::None;
    SerialStopBits stopBits = SerialStopBits::One;

    bool operator==(const SerialLineSettings&) const = default;
};

// The settings text built from the operator's choices: "%d, %s, %d, %d".
std::string formatSerialSettings(unsigned baudRate, std::string_view parity, int dataBits, int stopBits);

// Reads a settings text over `settings`. Fields are separated by "," (several in a row count as
// one). Parity must be exactly "n", "o" or "e" and stop bits exactly "1", "1.5" or "2" after
// leading blanks; anything else, and any field that is missing, leaves that value as it was.
void ParseSettings(std::string_view text, SerialLineSettings& settings);

}  // namespace tarn
