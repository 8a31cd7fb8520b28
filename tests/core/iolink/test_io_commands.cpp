// The I/O command set: request payloads of every command and the data layouts built from IoConfig.
#include <gtest/gtest.h>
#include <iterator>

#include "core/iolink/io_commands.h"
#include "core/iolink/io_frame.h"

namespace tarn {
namespace {

TEST(IoCommands, FixedRequests) {
    using namespace IoRequests;
    EXPECT_EQ(IoRequests::ReadStatus(), (IoRequest{"030", 0}));  // not the file ReadStatus
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
    EXPECT_EQ(IoRequests::SwitchOutput(10, 0).payload, "010000000001,0000000001");
}

TEST(IoCommands, RefusedRequestsKeepTheirIndexAndSayWhy) {
    IoConfig c;
    const IoRequest refusals[] = {IoRequests::SwitchOutput(0, 0),    IoRequests::SwitchOutput(11, 0),
                                  IoRequests::ReadMacroData(11),     IoRequests::ReadDelayPulseData(0),
                                  IoRequests::WriteMacroData(c, 11), IoRequests::WriteDelayPulseData(c, -1)};
    const int indexes[] = {0, 0, 10, 11, 4, 5};
    for (std::size_t i = 0; i < std::size(refusals); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(refusals[i].refusal, IoRefusal::BadPort);
        EXPECT_EQ(refusals[i].index, indexes[i]);
        EXPECT_TRUE(refusals[i].payload.empty());
    }
    EXPECT_EQ(ioRefusalText(IoRefusal::BadPort), "The output port must be 1 to 10!");
    EXPECT_EQ(ioRefusalText(IoRefusal::None), "");
}

TEST(IoCommands, WholeBlockWritesNeedTheBlockRead) {
    // Never read: the defaults would overwrite every other port's real settings.
    IoConfig c;
    EXPECT_EQ(IoRequests::WriteEnableStatus(c), (IoRequest{"", 7, IoRefusal::EnableStatusNotRead}));
    EXPECT_EQ(IoRequests::WritePowerStoppage(c), (IoRequest{"", 8, IoRefusal::PowerStoppageNotRead}));
    EXPECT_EQ(IoRequests::WriteAdcLevel(c), (IoRequest{"", 6, IoRefusal::AdcLevelNotRead}));
    EXPECT_EQ(ioRefusalText(IoRefusal::EnableStatusNotRead),
              "The enable status was not read from the device, so it is not written!");
    // Each block is judged on its own mark; the per-port writes need none.
    c.markRead(IoBlock::PowerStoppage);
    EXPECT_FALSE(IoRequests::WritePowerStoppage(c).refused());
    EXPECT_TRUE(IoRequests::WriteEnableStatus(c).refused());
    EXPECT_TRUE(IoRequests::WriteAdcLevel(c).refused());
    EXPECT_FALSE(IoRequests::WriteMacroData(c, 1).refused());
    EXPECT_FALSE(IoRequests::WriteDelayPulseData(c, 1).refused());
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

    // 88 macro characters make a 100-byte frame; 89 are refused rather than cut.
    c.macroText = std::string(88, 'I');
    EXPECT_TRUE(macroLengthOk(c.macroText));
    const IoRequest longest = IoRequests::WriteMacroData(c, 1);
    EXPECT_FALSE(longest.refused());
    EXPECT_EQ(buildIoFrame(longest.payload)->size(), 100u);
    c.macroText += 'I';
    EXPECT_FALSE(macroLengthOk(c.macroText));
    EXPECT_EQ(IoRequests::WriteMacroData(c, 1), (IoRequest{"", 4, IoRefusal::MacroTooLong}));
    EXPECT_EQ(ioRefusalText(IoRefusal::MacroTooLong), "The macro is too long: at most 88 characters!");
    c.macroEnabled = 0;  // no macro: its text is not sent, whatever its length
    EXPECT_EQ(IoRequests::WriteMacroData(c, 1).payload, "05010");
}

TEST(IoCommands, EnableStatusAndPowerStoppageData) {
    IoConfig c;
    c.markRead(IoBlock::EnableStatus);
    c.markRead(IoBlock::PowerStoppage);
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
    c.markRead(IoBlock::AdcLevel);
    c.adcLevel = {"1023", "0007", "5", "123456"};
    EXPECT_EQ(IoRequests::WriteAdcLevel(c), (IoRequest{"08102300070005"
                                                       "1234",
                                                       6}));
}

}  // namespace
}  // namespace tarn
