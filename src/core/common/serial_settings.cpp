#include "core/common/serial_settings.h"

#include <algorithm>
#include <vector>

#include "core/common/text.h"

namespace tarn {

namespace {

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find(',', pos);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > pos) fields.push_back(text.substr(pos, stop - pos));
        pos = stop + 1;
    }
    return fields;
}

std::string_view trimLeadingBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

}  // namespace

std::string formatSerialSettings(const SerialSettings& s) {
    return std::to_string(s.baudRate) + ", " + std::string(1, s.parity) + ", " + std::to_string(s.dataBits) + ", " +
           std::to_string(s.stopBits);
}

void ParseSettings(std::string_view text, SerialSettings& s) {
    const std::vector<std::string_view> f = splitFields(text);
    if (f.size() > 0) s.baudRate = static_cast<std::uint32_t>(parseLeadingInteger(f[0]));
    if (f.size() > 1) {
        const std::string_view p = trimLeadingBlanks(f[1]);
        if (p == "n" || p == "o" || p == "e") s.parity = p[0];
    }
    if (f.size() > 2) s.dataBits = static_cast<int>(parseLeadingInteger(f[2]));
    if (f.size() > 3) {
        const std::string_view b = trimLeadingBlanks(f[3]);
        if (b == "1") s.stopBits = 1;
        if (b == "1.5" || b == "2") s.stopBits = 2;
    }
}

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
