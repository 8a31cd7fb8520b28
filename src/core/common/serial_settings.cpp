#include "core/common/serial_settings.h"

#include <algorithm>

namespace tarn {

SerialChoice choiceFromSettings(const SerialSettings& s) {
    SerialChoice c;
    c.portIndex = std::clamp(s.port, 1, kSerialPortCount) - 1;
    const auto it = std::find(kBaudRates.begin(), kBaudRates.end(), s.baudRate);
    c.baudIndex = it == kBaudRates.end() ? kDefaultBaudIndex : static_cast<int>(it - kBaudRates.begin());
    c.parityIndex = s.parity == 'e' ? 1 : s.parity == 'o' ? 2 : 0;
    c.dataBitsIndex = std::clamp(s.dataBits - 7, 0, 1);
    c.stopBitsIndex = std::clamp(s.stopBits - 1, 0, 1);
    return c;
}

SerialSettings settingsFromChoice(const SerialChoice& c) {
    SerialSettings s;
    s.port = std::clamp(c.portIndex, 0, kSerialPortCount - 1) + 1;
    s.baudRate = kBaudRates.at(static_cast<std::size_t>(std::clamp(c.baudIndex, 0, int(kBaudRates.size()) - 1)));
    s.parity = c.parityIndex == 1 ? 'e' : c.parityIndex == 2 ? 'o' : 'n';
    s.dataBits = std::clamp(c.dataBitsIndex, 0, 1) + 7;
    s.stopBits = std::clamp(c.stopBitsIndex, 0, 1) + 1;
    return s;
}

}  // namespace tarn
