// The I/O command set: request payloads of every command and the data layouts built from IoConfig.
#include <gtest/gtest.h>

#include "core/iolink/io_commands.h"
#include "core/iolink/io_limits.h"

namespace tarn {
namespace {

TEST(IoCommands, FixedRequests) {
    using namespace IoRequests;
    EXPECT_EQ(ReadStatus(), (IoRequest{"030", 0}));
    EXPECT_EQ(ChangeSettingMode(), (IoRequest{"040", 2}));
    EXPECT_EQ(ChangeRunMode(), (IoRequest{"041", 3}));
    EXPECT_EQ(ReadAdcLevel(), (IoRequest{"100", 12}));
    EXPECT_EQ(ReadEnableStatus(), (IoRequest{"130", 13}));
    EXPECT_EQ(ReadPowerStoppage(), (IoRequest{"160", 14}));
    EXPECT_EQ(ReadSerialFirmware(), (IoRequest{"620", 15}));
    EXPECT_EQ(ReadMacroData(7), (IoRequest{"07071", 10}));
    EXPECT_EQ(ReadDelayPulseData(10), (IoRequest{"07103", 11}));
}

TEST(IoCommands, SwitchOutput) {
    EXPECT_EQ(IoRequests::SwitchOutput(3, 0), (IoRequest{"010010000000,0010000000", 0}));
    EXPECT_EQ(IoRequests::SwitchOutput(3, 1), (IoRequest{"010010000000,0000000000", 0}));
    // Port 10: its flag stands right before the ",", its value is the last character.
    const auto ten = IoRequests::SwitchOutput(10, 0);
    ASSERT_TRUE(ten);
    EXPECT_EQ(ten->payload, "010000000001,0000000001");
    EXPECT_FALSE(IoRequests::SwitchOutput(0, 0));
    EXPECT_FALSE(IoRequests::SwitchOutput(11, 0));
    EXPECT_FALSE(IoRequests::ReadMacroData(11));
}

TEST(IoCommands, MacroAndDelayPulseWrites) {
    IoConfig c;
    c.macroText = "O1&I2";
    EXPECT_EQ(IoRequests::WriteMacroData(c, 2), (IoRequest{"05020", 4}));
    c.macroEnabled = 1;
    EXPECT_EQ(IoRequests::WriteMacroData(c, 2), (IoRequest{"05021O1&I2", 4}));
    c.pulseText = "0001500003";
    EXPECT_EQ(IoRequests::WriteDelayPulseData(c, 10), (IoRequest{"05102", 5}));
    c.pulseEnabled = 1;
    EXPECT_EQ(IoRequests::WriteDelayPulseData(c, 10), (IoRequest{"051030001500003", 5}));

    // The longest macro fits a request; a longer one is refused rather than cut or overflowed.
    c.macroText = std::string(kMaxMacroLength, 'I');
    const auto longest = IoRequests::WriteMacroData(c, 1);
    ASSERT_TRUE(longest);
    EXPECT_EQ(longest->payload.size(), kMaxRequestPayload);
    c.macroText += 'I';
    EXPECT_FALSE(IoRequests::WriteMacroData(c, 1));
}

TEST(IoCommands, EnableStatusAndPowerStoppageData) {
    IoConfig c;
    c.reference = '2';
    // Everything 0: ADC modes "1" (level), every enable "2".
    EXPECT_EQ(IoRequests::WriteEnableStatus(c).payload, "111111,2,2222,2222,2222,2222,2222,22");
    EXPECT_EQ(IoRequests::WriteEnableStatus(c).index, 7);
    c.adcMode = {0, 1, 0, 5};
    c.inputEnable[0] = 1;
    c.inputEnable[11] = 7;
    c.outputEnable[4] = 1;
    c.outputEnable[9] = 1;
    EXPECT_EQ(enableStatusData(c), "1212,2,1222,2222,2221,2222,1222,21");
    EXPECT_EQ(enableStatusData(c).size(), 34u);

    EXPECT_EQ(IoRequests::WritePowerStoppage(c), (IoRequest{"142222,2222,22", 8}));
    c.powerStoppage = {1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(powerStoppageData(c), "1221,2222,21");
}

TEST(IoCommands, AdcLevelsAreFourCharactersEach) {
    IoConfig c;
    c.adcLevel = {"1023", "0007", "5", "123456"};
    EXPECT_EQ(IoRequests::WriteAdcLevel(c), (IoRequest{"08102300070005" "1234", 6}));
}

}  // namespace
}  // namespace tarn
