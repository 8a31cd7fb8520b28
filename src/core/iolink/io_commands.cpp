#include "core/iolink/io_commands.h"

#include <iterator>

#include "core/iolink/io_limits.h"

namespace tarn {

namespace {

bool validOutput(int port) { return port >= 1 && port <= kIoOutputCount; }

std::string twoDigits(int port) {
    return std::string{static_cast<char>('0' + port / 10), static_cast<char>('0' + port % 10)};
}

char enableChar(std::uint8_t flag) { return flag != 0 ? '1' : '2'; }

// Groups of four enable characters separated by ",", the last group shorter: "1111,2222,22".
template <std::size_t N>
void appendGroups(std::string& out, const std::array<std::uint8_t, N>& flags) {
    for (std::size_t i = 0; i < N; ++i) {
        if (i != 0 && i % 4 == 0) out += ',';
        out += enableChar(flags[i]);
    }
}

// An ADC level is four characters on the wire; a shorter text is padded with leading zeros and a
// longer one cut, so that the positions of the following levels never move.
std::string fourCharacters(const std::string& text) {
    if (text.size() >= kAdcLevelLength) return text.substr(0, kAdcLevelLength);
    return std::string(kAdcLevelLength - text.size(), '0') + text;
}

IoRequest refused(int index, IoRefusal why) { return {{}, index, why}; }

}  // namespace

static_assert(kMaxMacroLength == 88, "kMacroTooLongText names the limit");

std::string_view ioCommandName(int index) {
    static constexpr std::string_view kNames[] = {"ReadStatus",        "Unknown",           "ChangeSettingMode",
                                                  "ChangeRunMode",     "WriteMacroData",    "WriteDelayPulseData",
                                                  "WriteAdcLevel",     "WriteEnableStatus", "WritePowerStoppage",
                                                  "Unknown",           "ReadMacroData",     "ReadDelayPulseData",
                                                  "ReadAdcLevel",      "ReadEnableStatus",  "ReadPowerStoppage",
                                                  "ReadSerialFirmware"};
    return index >= 0 && index < static_cast<int>(std::size(kNames)) ? kNames[index] : "Unknown";
}

std::string ioResultText(int index, int result) {
    if (result == kIoResultFailed)
        return "no valid answer from the device (time-out, bad checksum, or a reply that is not this request's)";
    if (result == kIoResultSettingMode && index == IoCommand::ReadStatus) return "the device is in setting mode";
    // What the monitor's serial/firmware dialog tells as "It did not set serial number!".
    if (result == kIoResultSettingMode && index == IoCommand::ReadSerialFirmware)
        return "the device has no serial number set";
    return std::string("the device answered with result ") + static_cast<char>(result);
}

SwitchReport switchReport(int port, bool on, const IoStatus& status) {
    const PortStateCode state = status.output[static_cast<std::size_t>(port - 1)];
    SwitchReport report;
    report.reached = state == (on ? PortStateCode::On : PortStateCode::Off);
    std::string shown;
    std::string why;
    switch (state) {
        case PortStateCode::On:
            shown = "on";
            break;
        case PortStateCode::Off:
            shown = "off";
            why = "the output may be disabled";
            break;
        case PortStateCode::Macro:
            shown = "driven by its macro";
            why = "a macro drives the output";
            break;
        case PortStateCode::DelayOn:
        case PortStateCode::DelayOff:
        case PortStateCode::Pulse:
            shown = state == PortStateCode::Pulse     ? "pulse"
                    : state == PortStateCode::DelayOn ? "delay on"
                                                      : "delay off";
            why = "delay/pulse times the output";
            break;
        case PortStateCode::OnWithLevel:
        case PortStateCode::NoChange:
            shown = "in a state the device did not say";
            why = "the output may be disabled, driven by a macro or timed by delay/pulse";
            break;
    }
    report.text = "output " + std::to_string(port) + ' ' + shown;
    if (!report.reached) {
        if (why.empty()) why = "the output may be disabled, driven by a macro or timed by delay/pulse";
        report.text += std::string(" (asked ") + (on ? "on" : "off") + "; " + why + ")";
    }
    return report;
}

std::string_view ioRefusalText(IoRefusal refusal) {
    switch (refusal) {
        case IoRefusal::None:
            return {};
        case IoRefusal::BadPort:
            return "The output port must be 1 to 10!";
        case IoRefusal::MacroTooLong:
            return kMacroTooLongText;
        case IoRefusal::PayloadTooLong:
            return "The request is too long to send!";
        case IoRefusal::EnableStatusNotRead:
            return "The enable status was not read from the device, so it is not written!";
        case IoRefusal::PowerStoppageNotRead:
            return "The power stoppage setting was not read from the device, so it is not written!";
        case IoRefusal::AdcLevelNotRead:
            return "The ADC levels were not read from the device, so they are not written!";
    }
    return {};
}

bool macroLengthOk(std::string_view macro) { return macro.size() <= kMaxMacroLength; }

std::string enableStatusData(const IoConfig& c) {
    std::string out;
    for (std::int32_t mode : c.adcMode) out += mode == 0 ? '1' : '2';
    out += ',';
    out += c.reference;
    out += ',';
    appendGroups(out, c.inputEnable);
    out += ',';
    appendGroups(out, c.outputEnable);
    return out;
}

std::string powerStoppageData(const IoConfig& c) {
    std::string out;
    appendGroups(out, c.powerStoppage);
    return out;
}

namespace IoRequests {

IoRequest ReadStatus() { return {"030", IoCommand::ReadStatus}; }

IoRequest SwitchOutput(int port, int value) {
    if (!validOutput(port)) return refused(IoCommand::SwitchOutput, IoRefusal::BadPort);
    std::string which(kIoOutputCount, '0');
    std::string values(kIoOutputCount, '0');
    which[port - 1] = '1';
    values[port - 1] = value == 0 ? '1' : '0';
    return {"01" + which + "," + values, IoCommand::SwitchOutput};
}

IoRequest ChangeSettingMode() { return {"040", IoCommand::ChangeSettingMode}; }
IoRequest ChangeRunMode() { return {"041", IoCommand::ChangeRunMode}; }

IoRequest WriteMacroData(const IoConfig& c, int port) {
    if (!validOutput(port)) return refused(IoCommand::WriteMacroData, IoRefusal::BadPort);
    if (c.macroEnabled == 0) return {"05" + twoDigits(port) + "0", IoCommand::WriteMacroData};
    if (!macroLengthOk(c.macroText)) return refused(IoCommand::WriteMacroData, IoRefusal::MacroTooLong);
    return {"05" + twoDigits(port) + "1" + c.macroText, IoCommand::WriteMacroData};
}

IoRequest WriteDelayPulseData(const IoConfig& c, int port) {
    if (!validOutput(port)) return refused(IoCommand::WriteDelayPulseData, IoRefusal::BadPort);
    if (c.pulseEnabled == 0) return {"05" + twoDigits(port) + "2", IoCommand::WriteDelayPulseData};
    return {"05" + twoDigits(port) + "3" + c.pulseText.substr(0, kMaxPulseTextLength), IoCommand::WriteDelayPulseData};
}

IoRequest WriteAdcLevel(const IoConfig& c) {
    if (!c.wasRead(IoBlock::AdcLevel)) return refused(IoCommand::WriteAdcLevel, IoRefusal::AdcLevelNotRead);
    std::string payload = "08";
    for (const std::string& level : c.adcLevel) payload += fourCharacters(level);
    return {payload, IoCommand::WriteAdcLevel};
}

IoRequest WriteEnableStatus(const IoConfig& c) {
    if (!c.wasRead(IoBlock::EnableStatus)) return refused(IoCommand::WriteEnableStatus, IoRefusal::EnableStatusNotRead);
    return {"11" + enableStatusData(c), IoCommand::WriteEnableStatus};
}

IoRequest WritePowerStoppage(const IoConfig& c) {
    if (!c.wasRead(IoBlock::PowerStoppage))
        return refused(IoCommand::WritePowerStoppage, IoRefusal::PowerStoppageNotRead);
    return {"14" + powerStoppageData(c), IoCommand::WritePowerStoppage};
}

IoRequest ReadMacroData(int port) {
    if (!validOutput(port)) return refused(IoCommand::ReadMacroData, IoRefusal::BadPort);
    return {"07" + twoDigits(port) + "1", IoCommand::ReadMacroData};
}

IoRequest ReadDelayPulseData(int port) {
    if (!validOutput(port)) return refused(IoCommand::ReadDelayPulseData, IoRefusal::BadPort);
    return {"07" + twoDigits(port) + "3", IoCommand::ReadDelayPulseData};
}

IoRequest ReadAdcLevel() { return {"100", IoCommand::ReadAdcLevel}; }
IoRequest ReadEnableStatus() { return {"130", IoCommand::ReadEnableStatus}; }
IoRequest ReadPowerStoppage() { return {"160", IoCommand::ReadPowerStoppage}; }
IoRequest ReadSerialFirmware() { return {"620", IoCommand::ReadSerialFirmware}; }

}  // namespace IoRequests

}  // namespace tarn
