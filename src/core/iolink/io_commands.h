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

#include <optional>
#include <string>

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

// The result characters the callers look at: "0" is success, except for ChangeSettingMode whose
// success is "1"; "1" to a status read means the device is in setting mode.
constexpr int kIoResultSuccess = '0';
constexpr int kIoResultSettingMode = '1';
// The result of a request that got no usable answer (time-out, bad checksum, fourth NAK).
constexpr int kIoResultFailed = 0;

struct IoRequest {
    std::string payload;
    int index = 0;

    bool operator==(const IoRequest&) const = default;
};

// Request builders. Those that take a port number return nothing for a port outside 1..10;
// WriteMacroData returns nothing for a macro longer than kMaxMacroLength characters.
namespace IoRequests {
IoRequest ReadStatus();
// value 0 switches the output on, any other value off.
std::optional<IoRequest> SwitchOutput(int port, int value);
IoRequest ChangeSettingMode();
IoRequest ChangeRunMode();
std::optional<IoRequest> WriteMacroData(const IoConfig& config, int port);
std::optional<IoRequest> WriteDelayPulseData(const IoConfig& config, int port);
IoRequest WriteAdcLevel(const IoConfig& config);
IoRequest WriteEnableStatus(const IoConfig& config);
IoRequest WritePowerStoppage(const IoConfig& config);
std::optional<IoRequest> ReadMacroData(int port);
std::optional<IoRequest> ReadDelayPulseData(int port);
IoRequest ReadAdcLevel();
IoRequest ReadEnableStatus();
IoRequest ReadPowerStoppage();
IoRequest ReadSerialFirmware();
}  // namespace IoRequests

// The 34-character enable-status data and the 12-character power-stoppage data of a config.
std::string enableStatusData(const IoConfig& config);
std::string powerStoppageData(const IoConfig& config);

}  // namespace tarn
