#include "core/iolink/serial_settings.h"

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

std::string formatSerialSettings(unsigned baudRate, std::string_view parity, int dataBits, int stopBits) {
    return std::to_string(baudRate) + ", " + std::string(parity) + ", " + std::to_string(dataBits) + ", " +
           std::to_string(stopBits);
}

void ParseSettings(std::string_view text, SerialLineSettings& s) {
    const std::vector<std::string_view> f = splitFields(text);
    if (f.size() > 0) s.baudRate = static_cast<int>(parseLeadingInteger(f[0]));
    if (f.size() > 1) {
        const std::string_view p = trimLeadingBlanks(f[1]);
        if (p == "n") s.parity = SerialParity::None;
        if (p == "o") s.parity = SerialParity::Odd;
        if (p == "e") s.parity = SerialParity::Even;
    }
    if (f.size() > 2) s.dataBits = static_cast<int>(parseLeadingInteger(f[2]));
    if (f.size() > 3) {
        const std::string_view b = trimLeadingBlanks(f[3]);
        if (b == "1") s.stopBits = SerialStopBits::One;
        if (b == "1.5") s.stopBits = SerialStopBits::OneAndHalf;
        if (b == "2") s.stopBits = SerialStopBits::Two;
    }
}

}  // namespace tarn
