// The device side of the I/O command protocol: a model of one TARN I/O device's state and the
// interpreter that answers each request payload. tarn-sim serves it over TCP and a pseudo-terminal.
//
// Writes (macro, delay/pulse, ADC levels, enable status, power stoppage) are accepted in setting
// mode only and answered with result "1" in run mode; status reads and output switching answer "1"
// while the device is in setting mode. Malformed requests get result "2".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/iolink/io_state.h"

namespace tarn {

struct IoDeviceState {
    bool settingMode = false;
    std::array<bool, kIoOutputCount> outputOn{};
    std::array<bool, kIoInputCount> inputOn{};
    std::array<int, kIoAdcCount> adcValue{};  // 0..1023
    std::array<bool, kIoOutputCount> macroEnabled{};
    std::array<std::string, kIoOutputCount> macroText{};
    std::array<bool, kIoOutputCount> pulseEnabled{};
    std::array<std::string, kIoOutputCount> pulseText{};  // on and off time, "%05d%05d"
    std::array<std::string, kIoAdcCount> adcLevel{"0000", "0000", "0000", "0000"};
    std::array<int, kIoAdcCount> adcMode{};  // 0 level, 1 switch
    char reference = '0';
    std::array<bool, kIoInputCount> inputEnable{};
    std::array<bool, kIoOutputCount> outputEnable{};
    std::array<bool, kIoOutputCount> powerStoppage{};
    std::string serialNumber;  // empty: the device answers "631"
    std::string firmwareVersion;

    IoDeviceState() {
        inputEnable.fill(true);
        outputEnable.fill(true);
    }
};

class IoDeviceModel {
public:
    IoDeviceModel() = default;
    explicit IoDeviceModel(IoDeviceState state) : state_(std::move(state)) {}

    // The reply payload to one request payload.
    std::string answer(std::string_view request);
    // The reply frame to one received frame: "00NAK" when its checksum is wrong.
    std::string answerFrame(std::string_view frame);

    // The state character the device reports for an output port (0-based).
    char outputStateChar(int i) const;

    IoDeviceState& state() { return state_; }
    const IoDeviceState& state() const { return state_; }

private:
    std::string statusData() const;
    std::string enableData() const;
    std::string powerData() const;
    std::string adcLevels() const;
    std::string portReply(std::string_view result, int port, bool delayPulse) const;
    std::string switchOutputs(std::string_view data);
    std::string writePort(int port, char mode, std::string_view text);
    std::string writeEnable(std::string_view data);

    IoDeviceState state_;
};

}  // namespace tarn
