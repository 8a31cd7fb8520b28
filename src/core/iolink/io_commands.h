// The I/O command set: each command's index (the number by which its result is reported) and its
// request payload. The engine frames and queues what these functions build.
//
//   index  command               payload                                 reply
//     0    ReadStatus            "030"                                   "02"
//     0    SwitchOutput          "01" + 10 port flags + "," + 10 values  "02"
//     2    ChangeSettingMode     "040"                                   "02" (success is "1")
//     3    ChangeRunMode         "041"                                   "02"
//     4    WriteMacroData        "05" NN "1" macro  |  "05" NN "0"       "06"
//     5    WriteDelayPulseData   "05" NN "3" pulse  |  "05" NN "2"       "06"
//     6    WriteAdcLevel         "08" + 4 x 4 level characters           "09"
//     7    WriteEnableStatus     "11" + enable-status data (34)          "12"
//     8    WritePowerStoppage    "14" + power-stoppage data (12)         "15"
//    10    ReadMacroData         "07" NN "1"                             "06"
//    11    ReadDelayPulseData    "07" NN "3"                             "06"
//    12    ReadAdcLevel          "100"                                   "09"
//    13    ReadEnableStatus      "130"                                   "12"
//    14    ReadPowerStoppage     "160"                                   "15"
//    15    ReadSerialFirmware    "620"                                   "63"
//   NN: output port 1..10 as "%02d". Indexes 1 and 9 are unused.
#pragma once

#include <string>
#include <string_view>

#include "core/iolink/io_state.h"

namespace tarn {

namespace IoCommand {
constexpr int ReadStatus = 0;
constexpr int SwitchOutput = 0;
constexpr int ChangeSettingMode = 2;
constexpr int ChangeRunMode = 3;
constexpr int WriteMacroData = 4;
constexpr int WriteDelayPulseData = 5;
constexpr int WriteAdcLevel = 6;
constexpr int WriteEnableStatus = 7;
constexpr int WritePowerStoppage = 8;
constexpr int ReadMacroData = 10;
constexpr int ReadDelayPulseData = 11;
constexpr int ReadAdcLevel = 12;
constexpr int ReadEnableStatus = 13;
constexpr int ReadPowerStoppage = 14;
constexpr int ReadSerialFirmware = 15;
}  // namespace IoCommand

// The name of the command with this index ("ReadStatus" for 0, which SwitchOutput shares), or
// "Unknown".
std::string_view ioCommandName(int index);

// The result characters the callers look at: "0" is success, except for ChangeSettingMode whose
// success is "1"; "1" to a status read means the device is in setting mode.
constexpr int kIoResultSuccess = '0';
constexpr int kIoResultSettingMode = '1';
// The result of a request that got no usable answer (time-out, bad checksum, fourth NAK).
constexpr int kIoResultFailed = 0;

// Why a request was refused instead of built. A refused request is never sent; queued anyway, it
// is reported like a request that got no answer (result 0), so every request still has its result.
enum class IoRefusal {
    None,
    BadPort,              // an output port outside 1..10
    MacroTooLong,         // more than kMaxMacroLength characters
    PayloadTooLong,       // more than kMaxRequestPayload characters
    EnableStatusNotRead,  // whole-block writes of a block that was never read (IoConfig::wasRead)
    PowerStoppageNotRead,
    AdcLevelNotRead,
};

// What a result other than the request's success means, in words: no valid answer, the device in
// setting mode (a "1" to a status read or a switch), no serial number set (a "1" to the serial
// number read), or the result character itself.
std::string ioResultText(int index, int result);

// What a switch did, as the device's own status reply shows it: `reached` when output `port` (1..10)
// now shows what was asked; the text names the state shown and, when it differs, why it may.
struct SwitchReport {
    bool reached = false;
    std::string text;
};
SwitchReport switchReport(int port, bool on, const IoStatus& status);

// The text that tells the operator why a request was refused; empty for IoRefusal::None.
std::string_view ioRefusalText(IoRefusal refusal);

// The macro check's limit: true when `macro` fits one request frame.
bool macroLengthOk(std::string_view macro);
inline constexpr std::string_view kMacroTooLongText = "The macro is too long: at most 88 characters!";

struct IoRequest {
    std::string payload;
    int index = 0;
    IoRefusal refusal = IoRefusal::None;  // set: payload is empty and nothing may be sent

    bool refused() const { return refusal != IoRefusal::None; }
    bool operator==(const IoRequest&) const = default;
};

// Request builders. Every builder gives the command's index, also when it refuses: those that take
// a port number refuse a port outside 1..10; WriteMacroData refuses a macro longer than
// kMaxMacroLength; the writes of a whole block (WriteEnableStatus, WritePowerStoppage,
// WriteAdcLevel) refuse a config whose block was never read from the device.
namespace IoRequests {
IoRequest ReadStatus();
// value 0 switches the output on, any other value off.
IoRequest SwitchOutput(int port, int value);
IoRequest ChangeSettingMode();
IoRequest ChangeRunMode();
IoRequest WriteMacroData(const IoConfig& config, int port);
IoRequest WriteDelayPulseData(const IoConfig& config, int port);
IoRequest WriteAdcLevel(const IoConfig& config);
IoRequest WriteEnableStatus(const IoConfig& config);
IoRequest WritePowerStoppage(const IoConfig& config);
IoRequest ReadMacroData(int port);
IoRequest ReadDelayPulseData(int port);
IoRequest ReadAdcLevel();
IoRequest ReadEnableStatus();
IoRequest ReadPowerStoppage();
IoRequest ReadSerialFirmware();
}  // namespace IoRequests

// The 34-character enable-status data and the 12-character power-stoppage data of a config.
std::string enableStatusData(const IoConfig& config);
std::string powerStoppageData(const IoConfig& config);

}  // namespace tarn
