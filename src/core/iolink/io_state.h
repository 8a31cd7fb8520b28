// The two state blocks the I/O engine keeps from the device's replies: IoConfig (how the ports are
// set up) and IoStatus (what the ports show now), and the PortStateCode mapping of state characters.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarn {

constexpr int kIoOutputCount = 10;
constexpr int kIoInputCount = 12;
constexpr int kIoAdcCount = 4;

constexpr std::size_t kAdcLevelLength = 4;
constexpr std::size_t kAdcValueLength = 4;
constexpr std::size_t kSerialNumberLength = 17;
constexpr std::size_t kFirmwareVersionLength = 8;

// A port's state as the device reports it, one character per port, kept as a small number.
enum class PortStateCode : std::int32_t {
    On = 0,           // "1"
    OnWithLevel = 1,  // "9": an ADC port that is on and reports its level value
    Off = 2,          // "0"
    NoChange = 3,     // any character not listed here
    DelayOn = 4,      // "3"
    DelayOff = 5,     // "4"
    Macro = 6,        // "2"
    Pulse = 7,        // "5"
};

PortStateCode portStateCodeFromChar(char c);
// The character a code stands for, or 0 for NoChange (which many characters give).
char portStateChar(PortStateCode code);

// The parts of IoConfig that the device reports as a whole. A block counts as read once a complete
// reply with result "0" has filled it: the answer to its read, or the echo that answers its write.
// Until then the block holds defaults, not the device's settings, and writing it back would put
// those defaults over every other port's real settings.
enum class IoBlock : std::uint8_t { EnableStatus, PowerStoppage, AdcLevel, Macro, DelayPulse, SerialFirmware };

struct IoConfig {
    std::int32_t macroEnabled = 0;
    std::string macroText;  // at most kMaxMacroTextLength characters
    std::int32_t pulseEnabled = 0;
    std::string pulseText;  // at most kMaxPulseTextLength characters; the dialog writes "%05d%05d"
    std::array<std::uint8_t, kIoOutputCount> outputEnable{};
    std::array<std::uint8_t, kIoOutputCount> powerStoppage{};
    std::array<std::int32_t, kIoAdcCount> adcMode{};  // 0 level, anything else switch
    char reference = '0';                             // one digit character
    std::array<std::string, kIoAdcCount> adcLevel{"0000", "0000", "0000", "0000"};
    std::array<std::uint8_t, kIoInputCount> inputEnable{};
    std::string serialNumber;     // kSerialNumberLength characters once read
    std::string firmwareVersion;  // kFirmwareVersionLength characters once read
    std::uint8_t readBlocks = 0;  // one bit per IoBlock; copies of the block carry their marks

    bool wasRead(IoBlock block) const { return (readBlocks & bit(block)) != 0; }
    void markRead(IoBlock block) { readBlocks = static_cast<std::uint8_t>(readBlocks | bit(block)); }

    bool operator==(const IoConfig&) const = default;

private:
    static constexpr std::uint8_t bit(IoBlock block) {
        return static_cast<std::uint8_t>(1u << static_cast<int>(block));
    }
};

struct IoAdcState {
    PortStateCode code = PortStateCode::NoChange;
    std::string value;  // kAdcValueLength characters once read

    bool operator==(const IoAdcState&) const = default;
};

struct IoStatus {
    std::array<PortStateCode, kIoOutputCount> output{};
    std::array<PortStateCode, kIoInputCount> input{};
    std::array<IoAdcState, kIoAdcCount> adc{};

    IoStatus() {
        output.fill(PortStateCode::NoChange);
        input.fill(PortStateCode::NoChange);
    }
    bool operator==(const IoStatus&) const = default;
};

}  // namespace tarn
