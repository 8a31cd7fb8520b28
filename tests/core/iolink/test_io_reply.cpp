// What replies mean: the reply table's matching and each update of the state blocks, including
// replies shorter than their layout.
#include <gtest/gtest.h>
#include <string>

#include "core/iolink/io_commands.h"
#include "core/iolink/io_reply.h"

namespace tarn {
namespace {

using C = PortStateCode;

// A status reply with every port at a distinct, recognisable position.
//            ADC1      ADC2      ADC3      ADC4      inputs          outputs
const std::string kStatus =
    "020"
    "91234,"
    "00001,"
    "10512,"
    "x9999,"
    "1020,0103,5432,"
    "1023,4520,15";

struct Blocks {
    IoConfig config;
    IoStatus status;
    IoReplyOutcome apply(const std::string& payload, int index) { return applyIoReply(payload, index, config, status); }
};

TEST(IoReply, StatusFillsEveryPortFromItsExactPosition) {
    ASSERT_EQ(kStatus.size(), 54u);
    Blocks b;
    const auto out = b.apply(kStatus, IoCommand::ReadStatus);
    EXPECT_TRUE(out.matched);
    EXPECT_EQ(out.result, '0');
    EXPECT_FALSE(out.shortReply);
    EXPECT_EQ(b.status.adc[0], (IoAdcState{C::OnWithLevel, "1234"}));
    EXPECT_EQ(b.status.adc[1], (IoAdcState{C::Off, "0001"}));
    EXPECT_EQ(b.status.adc[2], (IoAdcState{C::On, "0512"}));
    EXPECT_EQ(b.status.adc[3], (IoAdcState{C::NoChange, "9999"}));
    const std::array<C, 12> inputs{C::On,  C::Off,     C::Macro, C::Off,      C::Off,     C::On,
                                   C::Off, C::DelayOn, C::Pulse, C::DelayOff, C::DelayOn, C::Macro};
    EXPECT_EQ(b.status.input, inputs);
    const std::array<C, 10> outputs{C::On,    C::Off,   C::Macro, C::DelayOn, C::DelayOff,
                                    C::Pulse, C::Macro, C::Off,   C::On,      C::Pulse};
    EXPECT_EQ(b.status.output, outputs);

    // Result "1" (setting mode) is reported and changes nothing.
    Blocks fresh;
    std::string settingMode = kStatus;
    settingMode[2] = '1';
    const auto one = fresh.apply(settingMode, IoCommand::SwitchOutput);
    EXPECT_EQ(one.result, '1');
    EXPECT_EQ(fresh.status, IoStatus{});
}

TEST(IoReply, TableMatchesCodeAndCommandInOrder) {
    EXPECT_FALSE(findIoReplyEntry("020", IoCommand::ReadEnableStatus));  // a status reply to a config read
    EXPECT_FALSE(findIoReplyEntry("060", IoCommand::ReadStatus));
    EXPECT_FALSE(findIoReplyEntry("630", IoCommand::ReadStatus));
    EXPECT_FALSE(findIoReplyEntry("0", IoCommand::ReadStatus));
    EXPECT_EQ(findIoReplyEntry("020", IoCommand::ChangeRunMode)->update, IoReplyUpdate::None);
    EXPECT_EQ(findIoReplyEntry("060", IoCommand::ReadDelayPulseData)->update, IoReplyUpdate::DelayPulse);
    EXPECT_EQ(findIoReplyEntry("060", IoCommand::WriteMacroData)->update, IoReplyUpdate::Macro);
    // An enable-status reply answers the enable-status read and write only.
    for (int index : {0, 2, 3, 6, 15}) EXPECT_FALSE(findIoReplyEntry("120", index)) << index;
    for (int index : {7, 13}) EXPECT_EQ(findIoReplyEntry("120", index)->update, IoReplyUpdate::EnableStatus);
    EXPECT_TRUE(isIoNak("00NAK"));
    EXPECT_FALSE(isIoNak("00NA"));
    // Result characters above 0x7F are widened as signed bytes.
    Blocks b;
    EXPECT_EQ(b.apply("02\xB0", IoCommand::ChangeRunMode).result, static_cast<int>(static_cast<signed char>(0xB0)));
}

TEST(IoReply, MacroAndDelayPulseUpdates) {
    Blocks b;
    b.apply(
        "06002"
        "1"
        "O1&I2",
        IoCommand::ReadMacroData);
    EXPECT_EQ(b.config.macroEnabled, 1);
    EXPECT_EQ(b.config.macroText, "O1&I2");
    // A macro reply longer than 106 characters keeps the first 106.
    b.apply(
        "06002"
        "1" +
            std::string(120, 'A'),
        IoCommand::WriteMacroData);
    EXPECT_EQ(b.config.macroText, std::string(106, 'A'));
    b.apply(
        "06002"
        "7",
        IoCommand::ReadMacroData);  // unknown mode: nothing changes
    EXPECT_EQ(b.config.macroEnabled, 1);
    b.apply(
        "06002"
        "0",
        IoCommand::ReadMacroData);
    EXPECT_EQ(b.config.macroEnabled, 0);
    EXPECT_EQ(b.config.macroText, "");

    b.config.macroText = "O3";
    b.apply(
        "06002"
        "3"
        "0001500000",
        IoCommand::ReadDelayPulseData);
    EXPECT_EQ(b.config.pulseEnabled, 1);
    EXPECT_EQ(b.config.pulseText, "0001500000");
    b.apply(
        "06002"
        "3"
        "000150000012345",
        IoCommand::ReadDelayPulseData);
    EXPECT_EQ(b.config.pulseText, "00015000001");  // at most 11
    // Mode "2" clears the pulse and leaves the macro as it was.
    b.apply(
        "06002"
        "2",
        IoCommand::WriteDelayPulseData);
    EXPECT_EQ(b.config.pulseEnabled, 0);
    EXPECT_EQ(b.config.pulseText, "");
    EXPECT_EQ(b.config.macroText, "O3");
}

TEST(IoReply, AdcLevelEnableStatusAndPowerStoppage) {
    Blocks b;
    b.apply(
        "090"
        "1023000705120000",
        IoCommand::ReadAdcLevel);
    EXPECT_EQ(b.config.adcLevel, (std::array<std::string, 4>{"1023", "0007", "0512", "0000"}));

    b.config.adcMode = {7, 7, 7, 7};
    b.apply(
        "120"
        "12x2,3,1212,x122,2221,1122,2211,21",
        IoCommand::WriteEnableStatus);
    EXPECT_EQ(b.config.adcMode, (std::array<std::int32_t, 4>{0, 1, 7, 1}));
    EXPECT_EQ(b.config.reference, '3');
    EXPECT_EQ(b.config.inputEnable, (std::array<std::uint8_t, 12>{1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(b.config.outputEnable, (std::array<std::uint8_t, 10>{1, 1, 0, 0, 0, 0, 1, 1, 0, 1}));

    b.apply(
        "150"
        "1221,x112,21",
        IoCommand::ReadPowerStoppage);
    EXPECT_EQ(b.config.powerStoppage, (std::array<std::uint8_t, 10>{1, 0, 0, 1, 0, 1, 1, 0, 0, 1}));
    // A power-stoppage reply while an enable-status read is in flight matches nothing.
    EXPECT_FALSE(b.apply("150"
                         "1111,1111,11",
                         IoCommand::ReadEnableStatus)
                     .matched);
}

TEST(IoReply, SerialAndFirmware) {
    Blocks b;
    const auto ok = b.apply(
        "630"
        "SN-0000-1111-2222"
        "FW 1.2.3",
        IoCommand::ReadSerialFirmware);
    EXPECT_EQ(ok.result, '0');
    EXPECT_EQ(b.config.serialNumber, "SN-0000-1111-2222");
    EXPECT_EQ(b.config.firmwareVersion, "FW 1.2.3");
    const auto none = b.apply(
        "631"
        "XXXXXXXXXXXXXXXXXYYYYYYYY",
        IoCommand::ReadSerialFirmware);
    EXPECT_EQ(none.result, '1');
    EXPECT_EQ(b.config.serialNumber, "SN-0000-1111-2222");
}

TEST(IoReply, ShortGoodRepliesFailAndChangeNothing) {
    Blocks b;
    b.apply(kStatus, IoCommand::ReadStatus);
    const Blocks before = b;
    for (const auto& [payload, index] :
         std::vector<std::pair<std::string, int>>{{"02010042,91", IoCommand::ReadStatus},
                                                  {"02", IoCommand::ReadStatus},  // no result character
                                                  {"630SN-0000", IoCommand::ReadSerialFirmware},
                                                  {"15022", IoCommand::ReadPowerStoppage},
                                                  {"090123456", IoCommand::ReadAdcLevel},
                                                  {"120111", IoCommand::ReadEnableStatus}}) {
        const auto out = b.apply(payload, index);
        EXPECT_TRUE(out.matched) << payload;
        EXPECT_TRUE(out.shortReply) << payload;
        EXPECT_EQ(out.result, 0) << payload;
    }
    EXPECT_EQ(b.status, before.status);
    EXPECT_EQ(b.config.powerStoppage, before.config.powerStoppage);
    EXPECT_EQ(b.config.adcLevel, before.config.adcLevel);
    EXPECT_EQ(b.config.serialNumber, before.config.serialNumber);
    // A result other than "0" has no layout to fill: it is reported as it is.
    EXPECT_EQ(b.apply("021", IoCommand::ReadStatus).result, '1');
}

TEST(IoReply, OnlyCompleteGoodRepliesMarkTheirBlockRead) {
    Blocks b;
    const std::string enable =
        "120"
        "1111,0,1111,1111,1111,1111,1111,11";
    b.apply("121" + enable.substr(3), IoCommand::ReadEnableStatus);  // result "1": not read
    b.apply(enable.substr(0, 20), IoCommand::ReadEnableStatus);      // cut short: not read
    b.apply(
        "150"
        "1221,1111,21",
        IoCommand::ReadEnableStatus);  // not an answer to this
    b.apply(
        "630"
        "SN-0000",
        IoCommand::ReadSerialFirmware);  // short
    EXPECT_EQ(b.config.readBlocks, 0);

    b.apply(enable, IoCommand::ReadEnableStatus);
    EXPECT_TRUE(b.config.wasRead(IoBlock::EnableStatus));
    EXPECT_FALSE(b.config.wasRead(IoBlock::PowerStoppage));
    // The echo of a write carries the whole block too.
    b.apply(
        "150"
        "1221,1111,21",
        IoCommand::WritePowerStoppage);
    b.apply(
        "090"
        "1023000705120000",
        IoCommand::WriteAdcLevel);
    EXPECT_TRUE(b.config.wasRead(IoBlock::PowerStoppage));
    EXPECT_TRUE(b.config.wasRead(IoBlock::AdcLevel));
    b.apply(
        "06002"
        "7",
        IoCommand::ReadMacroData);  // a mode the update does not know
    EXPECT_FALSE(b.config.wasRead(IoBlock::Macro));
    b.apply(
        "06002"
        "2",
        IoCommand::ReadDelayPulseData);
    EXPECT_TRUE(b.config.wasRead(IoBlock::DelayPulse));
}

}  // namespace
}  // namespace tarn
