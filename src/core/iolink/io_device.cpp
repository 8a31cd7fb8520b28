#include "core/iolink/io_device.h"

#include <cstdio>

#include "core/common/text.h"
#include "core/iolink/io_frame.h"
#include "core/iolink/io_limits.h"

namespace tarn {

namespace {

bool isDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string fourDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", value < 0 ? 0 : value > 9999 ? 9999 : value);
    return buf;
}

char flag(bool on, char yes, char no) { return on ? yes : no; }

template <std::size_t N>
std::string groups(const std::array<bool, N>& flags, char yes, char no) {
    std::string out;
    for (std::size_t i = 0; i < N; ++i) {
        if (i != 0 && i % 4 == 0) out += ',';
        out += flag(flags[i], yes, no);
    }
    return out;
}

// Reads "1"/"2" enable characters laid out as groups of four separated by one character.
template <std::size_t N>
bool readGroups(std::string_view data, std::size_t start, std::array<bool, N>& out) {
    std::array<bool, N> values{};
    for (std::size_t i = 0; i < N; ++i) {
        const std::size_t at = start + 5 * (i / 4) + i % 4;
        if (at >= data.size() || (data[at] != '1' && data[at] != '2')) return false;
        values[i] = data[at] == '1';
    }
    out = values;
    return true;
}

// The output port "NN" at the start of `s`, or 0.
int portAt(std::string_view s) {
    if (s.size() < 2 || !isDigits(s.substr(0, 2))) return 0;
    const int port = (s[0] - '0') * 10 + (s[1] - '0');
    return port >= 1 && port <= kIoOutputCount ? port : 0;
}

}  // namespace

char IoDeviceModel::outputStateChar(int i) const {
    if (!state_.outputEnable[i]) return '0';
    if (state_.macroEnabled[i]) return '2';
    if (state_.pulseEnabled[i]) {
        const std::string& t = state_.pulseText[i];
        const long long on = parseLeadingInteger(t.substr(0, 5));
        const long long off = t.size() > 5 ? parseLeadingInteger(t.substr(5)) : 0;
        if (on > 0 && off == 0) return '3';
        if (on == 0 && off > 0) return '4';
        return '5';
    }
    return flag(state_.outputOn[i], '1', '0');
}

// ADC k: state + 4-digit value + ","   (p[3..26])
// inputs: "xxxx,xxxx,xxxx,"            (p[27..41])
// outputs: "xxxx,xxxx,xx"              (p[42..53])
std::string IoDeviceModel::statusData() const {
    std::string out;
    for (int k = 0; k < kIoAdcCount; ++k) {
        const int value = state_.adcValue[k];
        if (state_.adcMode[k] == 0) {
            out += '9';
        } else {
            out += flag(value >= parseLeadingInteger(state_.adcLevel[k]), '1', '0');
        }
        out += fourDigits(value) + ',';
    }
    std::array<bool, kIoInputCount> inputs{};
    for (int i = 0; i < kIoInputCount; ++i) inputs[i] = state_.inputEnable[i] && state_.inputOn[i];
    out += groups(inputs, '1', '0') + ',';
    for (int i = 0; i < kIoOutputCount; ++i) {
        if (i != 0 && i % 4 == 0) out += ',';
        out += outputStateChar(i);
    }
    return out;
}

std::string IoDeviceModel::enableData() const {
    std::string out;
    for (int mode : state_.adcMode) out += flag(mode == 0, '1', '2');
    out += ',';
    out += state_.reference;
    out += ',' + groups(state_.inputEnable, '1', '2') + ',' + groups(state_.outputEnable, '1', '2');
    return out;
}

std::string IoDeviceModel::powerData() const { return groups(state_.powerStoppage, '1', '2'); }

std::string IoDeviceModel::adcLevels() const {
    std::string out;
    for (const std::string& level : state_.adcLevel) out += level;
    return out;
}

std::string IoDeviceModel::portReply(std::string_view result, int port, bool delayPulse) const {
    const int i = port - 1;
    std::string out = "06" + std::string(result) + fourDigits(port).substr(2);
    if (delayPulse) {
        out += state_.pulseEnabled[i] ? "3" + state_.pulseText[i] : std::string("2");
    } else {
        out += state_.macroEnabled[i] ? "1" + state_.macroText[i] : std::string("0");
    }
    return out;
}

std::string IoDeviceModel::switchOutputs(std::string_view data) {
    // "0010000000,0010000000": which ports, then "1" on / "0" off for each of them.
    if (data.size() != 2 * kIoOutputCount + 1 || data[kIoOutputCount] != ',') return "022";
    if (state_.settingMode) return "021";
    for (int i = 0; i < kIoOutputCount; ++i) {
        if (data[i] == '1' && state_.outputEnable[i]) state_.outputOn[i] = data[kIoOutputCount + 1 + i] == '1';
    }
    return "020" + statusData();
}

std::string IoDeviceModel::writePort(int port, char mode, std::string_view text) {
    const int i = port - 1;
    const bool delayPulse = mode == '2' || mode == '3';
    if (!state_.settingMode) return portReply("1", port, delayPulse);
    switch (mode) {
        case '0':
            state_.macroEnabled[i] = false;
            state_.macroText[i].clear();
            break;
        case '1':
            if (text.size() > kMaxMacroTextLength) return portReply("2", port, false);
            state_.macroEnabled[i] = true;
            state_.macroText[i] = std::string(text);
            break;
        case '2':
            state_.pulseEnabled[i] = false;
            state_.pulseText[i].clear();
            break;
        case '3':
            if (text.size() != 10 || !isDigits(text)) return portReply("2", port, true);
            state_.pulseEnabled[i] = true;
            state_.pulseText[i] = std::string(text);
            break;
        default:
            return "062";
    }
    return portReply("0", port, delayPulse);
}

std::string IoDeviceModel::writeEnable(std::string_view d) {
    // "1111,0,1111,1111,1111,1111,1111,11": ADC modes, reference, inputs, outputs.
    if (!state_.settingMode) return "121";
    if (d.size() != 34 || d[4] != ',' || d[6] != ',' || d[5] < '0' || d[5] > '9') return "122";
    std::array<int, kIoAdcCount> modes{};
    for (int k = 0; k < kIoAdcCount; ++k) {
        if (d[k] != '1' && d[k] != '2') return "122";
        modes[k] = d[k] == '1' ? 0 : 1;
    }
    IoDeviceState next = state_;
    if (!readGroups(d, 7, next.inputEnable) || !readGroups(d, 22, next.outputEnable)) return "122";
    next.adcMode = modes;
    next.reference = d[5];
    state_ = std::move(next);
    return "120" + enableData();
}

std::string IoDeviceModel::answer(std::string_view r) {
    const std::string_view code = r.substr(0, 2);
    const std::string_view data = r.size() > 2 ? r.substr(2) : std::string_view{};
    if (r == "030") return state_.settingMode ? "021" : "020" + statusData();
    if (code == "01") return switchOutputs(data);
    if (r == "040") {
        state_.settingMode = true;
        return "021";
    }
    if (r == "041") {
        state_.settingMode = false;
        return "020";
    }
    if (code == "05") {
        const int port = portAt(data);
        if (port == 0 || data.size() < 3) return "062";
        return writePort(port, data[2], data.substr(3));
    }
    if (code == "07") {
        const int port = portAt(data);
        if (port == 0 || data.size() != 3 || (data[2] != '1' && data[2] != '3')) return "062";
        const bool delayPulse = data[2] == '3';
        const bool set = delayPulse ? state_.pulseEnabled[port - 1] : state_.macroEnabled[port - 1];
        return portReply(set ? "0" : "2", port, delayPulse);
    }
    if (code == "08") {
        if (!state_.settingMode) return "091";
        if (data.size() != 4 * kIoAdcCount || !isDigits(data)) return "092";
        for (int k = 0; k < kIoAdcCount; ++k) state_.adcLevel[k] = std::string(data.substr(4 * k, 4));
        return "090" + adcLevels();
    }
    if (r == "100") return "090" + adcLevels();
    if (code == "11") return writeEnable(data);
    if (r == "130") return "120" + enableData();
    if (code == "14") {
        if (!state_.settingMode) return "151";
        std::array<bool, kIoOutputCount> power{};
        if (data.size() != 12 || !readGroups(data, 0, power)) return "152";
        state_.powerStoppage = power;
        return "150" + powerData();
    }
    if (r == "160") return "150" + powerData();
    if (r == "620") {
        if (state_.serialNumber.empty()) return "631";
        std::string serial = state_.serialNumber.substr(0, kSerialNumberLength);
        serial.resize(kSerialNumberLength, ' ');
        std::string firmware = state_.firmwareVersion.substr(0, kFirmwareVersionLength);
        firmware.resize(kFirmwareVersionLength, ' ');
        return "630" + serial + firmware;
    }
    return "00NAK";
}

std::string IoDeviceModel::answerFrame(std::string_view frame) {
    const std::string payload = checkIoFrame(frame) ? answer(ioFramePayload(frame)) : std::string("00NAK");
    return buildIoFrame(payload).value_or(std::string());
}

}  // namespace tarn
