// The link mode of the main window and the serial line settings of the I/O link: the one type for
// them (SerialSettings), the settings text they travel in ("9600, n, 8, 1": baud rate, parity
// letter, data bits, stop bits), and the fixed choice lists of the serial settings dialog.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

enum class LinkMode { Network = 0, Serial = 1 };

struct SerialSettings {
    int port = 1;  // COM port number 1..20
    std::uint32_t baudRate = 9600;
    char parity = 'n';  // 'n', 'e' or 'o'
    int dataBits = 8;
    int stopBits = 1;  // 1 or 2
    bool operator==(const SerialSettings&) const = default;
};

// The settings text of everything but the port number: "%d, %s, %d, %d".
std::string formatSerialSettings(const SerialSettings& settings);

// Reads a settings text over `settings` (the port number is not part of it). Fields are separated
// by "," (several in a row count as one). Parity must be exactly "n", "o" or "e" and stop bits
// exactly "1", "1.5" or "2" after leading blanks; anything else, and any field that is missing,
// leaves that value as it was. Linux has no 1.5 stop bits: "1.5" reads as 2, what a UART sends
// for 1.5 with six or more data bits.
void ParseSettings(std::string_view text, SerialSettings& settings);

inline constexpr int kSerialPortCount = 20;
inline constexpr std::array<std::uint32_t, 8> kBaudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr int kDefaultBaudIndex = 3;  // 9600

// The dialog's list positions for the settings, and the settings for the list positions.
struct SerialChoice {
    int portIndex = 0;
    int baudIndex = kDefaultBaudIndex;
    int parityIndex = 0;  // none, even, odd
    int dataBitsIndex = 1;
    int stopBitsIndex = 0;
};
SerialChoice choiceFromSettings(const SerialSettings& settings);
SerialSettings settingsFromChoice(const SerialChoice& choice);

}  // namespace tarn
