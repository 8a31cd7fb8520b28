// The link mode of the main window and the serial line settings of the I/O link, with the fixed
// choice lists of the serial settings dialog.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarn {

enum class LinkMode { Network = 0, Serial = 1 };

struct SerialSettings {
    int port = 1;             // COM port number 1..20
    std::uint32_t baudRate = 9600;
    char parity = 'n';        // 'n', 'e' or 'o'
    int dataBits = 8;
    int stopBits = 1;
    bool operator==(const SerialSettings&) const = default;
};

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
