// The port dialogs' read and write chains, run against the real engine and a device model.
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/monitor/adc_port_chain.h"
#include "core/monitor/input_port_chain.h"
#include "core/monitor/output_port_chain.h"
#include "core/monitor/serial_firmware_chain.h"
#include "device_io.h"
#include "support/scripted_prompter.h"

namespace tarn {
namespace {

using test::DeviceIo;
using test::ScriptedPrompter;
using ::testing::ElementsAre;

constexpr char kNoAnswer = '7';  // a result character no step treats as success

struct ChainTest : ::testing::Test {
    DeviceIo io;
    ScriptedPrompter prompter;

    template <typename Chain>
    void route(Chain& chain) {
        io.onResult = [&chain](int index, int result) { chain.onIoResult(index, result); };
    }
    // Clears the record of what was sent and said, answers the question Yes and presses "Setting".
    void setting(PortDialogChain& chain) {
        io.sent.clear();
        prompter.clear();
        prompter.answerYesNo(true);
        chain.onSetting();
    }
};

TEST_F(ChainTest, OutputReadShowsThePortsSettings) {
    IoDeviceState& d = io.device.state();
    d.outputEnable[2] = false;
    d.macroEnabled[2] = true;
    d.macroText[2] = "O1&I2";
    d.pulseEnabled[2] = true;
    d.pulseText[2] = "0001500003";
    d.powerStoppage[2] = false;
    OutputPortChain chain(io, prompter);
    route(chain);
    chain.open(3);

    EXPECT_THAT(io.sent, ElementsAre("130", "07031", "07033", "160"));
    const OutputPortForm& f = chain.form();
    EXPECT_EQ(f.enableChoice, 1);
    EXPECT_TRUE(f.useMacro);
    EXPECT_EQ(f.macro, "O1&I2");
    EXPECT_TRUE(f.delayPulse.used);
    EXPECT_EQ(f.delayPulse.mode, DelayPulseMode::Pulse);
    EXPECT_EQ(f.delayPulse.pulseOnTime, "00015");
    EXPECT_EQ(f.delayPulse.pulseOffTime, "00003");
    EXPECT_EQ(f.powerChoice, 1);
    EXPECT_TRUE(chain.settingOffered());
    EXPECT_TRUE(prompter.records().empty());

    // A port with neither macro nor timing answers '2': both boxes unticked, no message.
    chain.open(4);
    EXPECT_FALSE(chain.form().useMacro);
    EXPECT_FALSE(chain.form().delayPulse.used);
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(ChainTest, OutputWriteRunsTheWholeChainInSettingMode) {
    OutputPortChain chain(io, prompter);
    route(chain);
    chain.open(10);
    OutputPortForm& f = chain.form();
    f.enableChoice = 0;
    f.useMacro = true;
    f.macro = "  O10&!I12 ";
    f.delayPulse = {true, DelayPulseMode::Pulse, "", "", "15", "3"};
    f.powerChoice = 0;
    setting(chain);

    EXPECT_THAT(io.sent, ElementsAre("040", "111111,0,1111,1111,1111,1111,1111,11", "05101O10&!I12",
                                     "05103"
                                     "0001500003",
                                     "142222,2222,21", "041"));
    EXPECT_THAT(prompter.messageTexts(), ElementsAre("Complete Setting Output port"));
    EXPECT_EQ(prompter.records().front().text, "Do you want to set out port?");
    EXPECT_EQ(chain.lastEnd(), ChainEnd::Complete);
    const IoDeviceState& d = io.device.state();
    EXPECT_FALSE(d.settingMode);
    EXPECT_EQ(d.macroText[9], "O10&!I12");
    EXPECT_EQ(d.pulseText[9], "0001500003");
    EXPECT_TRUE(d.powerStoppage[9]);
    EXPECT_TRUE(chain.settingOffered());
}

TEST_F(ChainTest, OutputWriteFailuresNameTheStepAndAlwaysReturnToRunMode) {
    struct Case {
        int index;
        char result;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {IoCommand::WriteEnableStatus, kNoAnswer, {"Warning! Enable Status Fail.", "Warning! Output port"}},
        {IoCommand::WriteMacroData, kNoAnswer, {"Warning! Macro Data Fail!", "Warning! Output port"}},
        {IoCommand::WriteDelayPulseData, kNoAnswer, {"Warning! Delay/Pulse Data Fail!", "Warning! Output port"}},
        {IoCommand::WritePowerStoppage, kNoAnswer, {"Warning! Eanble power stoppage Fail!", "Warning! Output port"}},
        {IoCommand::ChangeRunMode, '1', {"Change Run Mode Fail!", "Warning! Output port"}},
        {IoCommand::ChangeSettingMode, '0', {"Change Setting Mode Fail!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        io.forced.clear();
        OutputPortChain chain(io, prompter);
        route(chain);
        chain.open(1);
        io.forced[c.index] = c.result;
        setting(chain);
        EXPECT_EQ(prompter.messageTexts(), c.messages);
        if (c.index == IoCommand::ChangeSettingMode) {
            EXPECT_THAT(io.sent, ElementsAre("040"));
            EXPECT_EQ(chain.lastEnd(), ChainEnd::Aborted);
        } else {
            EXPECT_EQ(io.sent.back(), "041");
            EXPECT_EQ(chain.lastEnd(), ChainEnd::Warning);
        }
        EXPECT_TRUE(chain.settingOffered());
        io.device.state().settingMode = false;
    }
}

TEST_F(ChainTest, OutputChecksTypedValuesBeforeSendingAnything) {
    OutputPortChain chain(io, prompter);
    route(chain);
    std::pair<int, int> selected{-1, -1};
    chain.selectMacro = [&](int start, int length) { selected = {start, length}; };
    chain.open(2);

    auto refused = [&](const char* expected) {
        setting(chain);
        EXPECT_TRUE(io.sent.empty());
        EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{expected});
    };
    chain.form().useMacro = true;
    chain.form().macro = "   ";
    refused("Input MACRO !!");
    chain.form().macro = "O1&&O2";
    refused("It input the Macro by mistake.");
    EXPECT_EQ(selected, std::make_pair(3, 1));
    chain.form().useMacro = false;
    chain.form().delayPulse = {true, DelayPulseMode::DelayOff, "12", " ", "", ""};
    refused("Input Delay Off Time !!");
    chain.form().delayPulse = {true, DelayPulseMode::Pulse, "", "", "7", ""};
    refused("Input Pulse Off Time !!");
    chain.form().delayPulse = {true, DelayPulseMode::DelayOn, "5001", "", "", ""};
    refused("Input Number Limit(0~5000)");

    // Unticked, the times are not looked at and no timing is written.
    chain.form().delayPulse.used = false;
    setting(chain);
    EXPECT_EQ(io.sent.at(3), "05022");
}

TEST_F(ChainTest, AWriteOfABlockNeverReadIsRefusedAndToldNotSentAsDefaults) {
    OutputPortChain chain(io, prompter);
    route(chain);
    io.forced[IoCommand::ReadEnableStatus] = kNoAnswer;
    chain.open(5);
    EXPECT_EQ(prompter.messageTexts().front(), "Read Enable Status Fail!");
    io.forced.clear();
    io.device.state().inputEnable[0] = false;

    setting(chain);
    const std::vector<std::string> said = prompter.messageTexts();
    ASSERT_GE(said.size(), 3u);
    EXPECT_EQ(said[0], std::string(ioRefusalText(IoRefusal::EnableStatusNotRead)));
    EXPECT_EQ(said[1], "Warning! Enable Status Fail.");
    EXPECT_EQ(said.back(), "Warning! Output port");
    for (const std::string& payload : io.sent) EXPECT_NE(payload.substr(0, 2), "11");
    EXPECT_FALSE(io.device.state().inputEnable[0]);
    EXPECT_FALSE(io.device.state().settingMode);
}

TEST_F(ChainTest, InputReadAndWrite) {
    io.device.state().inputEnable[11] = false;
    InputPortChain chain(io, prompter);
    route(chain);
    chain.open(12);
    EXPECT_EQ(chain.form().enableChoice, 1);

    chain.form().enableChoice = 0;
    setting(chain);
    EXPECT_THAT(io.sent, ElementsAre("040", "111111,0,1111,1111,1111,1111,1111,11", "041"));
    EXPECT_EQ(prompter.records().front().text, "Do you want to set Input port ?");
    EXPECT_THAT(prompter.messageTexts(), ElementsAre("Complete Setting Input port"));
    EXPECT_TRUE(io.device.state().inputEnable[11]);

    io.forced[IoCommand::WriteEnableStatus] = kNoAnswer;
    io.forced[IoCommand::ChangeRunMode] = '1';
    setting(chain);
    EXPECT_THAT(prompter.messageTexts(),
                ElementsAre("Warning! Enable Status Fail!", "Change Run Mode Fail!", "Warning! Setting Input port"));
}

// A chain that may leave the device in setting mode says so and offers the return to run mode:
// after a failed ChangeRunMode, and after a ChangeSettingMode that got no valid answer.
TEST_F(ChainTest, AChainThatMayLeaveSettingModeSaysSoAndOffersRunMode) {
    const auto questions = [&] {
        std::vector<std::string> texts;
        for (const auto& r : prompter.records())
            if (r.kind == "yesno") texts.push_back(r.text);
        return texts;
    };
    const std::string offer = "The device may still be in setting mode. Return it to run mode now?";
    InputPortChain chain(io, prompter);
    route(chain);
    chain.open(1);

    // Run mode fails twice: Yes tries again, No ends with the closing message, the debt stays.
    io.forced[IoCommand::ChangeRunMode] = kNoAnswer;
    prompter.answerYesNo(true);
    setting(chain);
    EXPECT_THAT(questions(), ElementsAre("Do you want to set Input port ?", offer, offer));
    EXPECT_THAT(prompter.messageTexts(),
                ElementsAre("Change Run Mode Fail!", "Change Run Mode Fail!", "Complete Setting Input port"));
    EXPECT_EQ(std::count(io.sent.begin(), io.sent.end(), "041"), 2);
    EXPECT_TRUE(chain.runModeOwed());
    EXPECT_FALSE(chain.running());

    // The offer held open while the device recovers: Yes then returns it to run mode.
    io.onResult = [&](int index, int result) {
        if (index == IoCommand::ChangeRunMode) prompter.holdNextQuestion();
        chain.onIoResult(index, result);
    };
    setting(chain);
    ASSERT_TRUE(prompter.questionOpen());
    EXPECT_TRUE(chain.running());
    route(chain);
    io.forced.erase(IoCommand::ChangeRunMode);
    prompter.answerYesNo(true);
    ASSERT_TRUE(prompter.answerHeld());
    EXPECT_FALSE(chain.runModeOwed());
    EXPECT_FALSE(io.device.state().settingMode);
    EXPECT_EQ(prompter.messageTexts().back(), "Complete Setting Input port");

    // No valid answer to ChangeSettingMode: the device may have switched all the same.
    io.silent = true;
    prompter.answerYesNo(true);
    setting(chain);
    io.timeOut();  // ChangeSettingMode
    io.timeOut();  // the ChangeRunMode that Yes sent
    EXPECT_THAT(prompter.messageTexts(), ElementsAre("Change Setting Mode Fail!", "Change Run Mode Fail!"));
    EXPECT_THAT(io.sent, ElementsAre("040", "041"));
    EXPECT_EQ(chain.lastEnd(), ChainEnd::Aborted);
    EXPECT_TRUE(chain.runModeOwed());
    EXPECT_FALSE(chain.running());
}

TEST_F(ChainTest, AdcSwitchLevelAndReference) {
    io.device.state().reference = '2';
    io.device.state().adcMode[1] = 1;
    io.device.state().adcLevel[1] = "0512";
    AdcPortChain chain(io, prompter);
    route(chain);
    chain.open(2);
    EXPECT_EQ(chain.form().referenceIndex, 2);
    EXPECT_EQ(chain.form().modeChoice, 1);
    EXPECT_EQ(chain.form().level, "0512");

    for (auto [typed, written] : {std::pair{"1023", "1023"}, std::pair{"7", "0007"}}) {
        chain.form().level = typed;
        setting(chain);
        EXPECT_THAT(io.sent, ElementsAre("040", std::string("080000") + written + "00000000",
                                         "111211,2,1111,1111,1111,1111,1111,11", "041"));
        EXPECT_THAT(prompter.messageTexts(), ElementsAre("Complete Setting ADC port !"));
    }
    for (auto [typed, message] : {std::pair{"1024", "Input Number Limit(0~1023)"}, std::pair{"", "Input ADC Level!"}}) {
        chain.form().level = typed;
        setting(chain);
        EXPECT_TRUE(io.sent.empty());
        EXPECT_THAT(prompter.messageTexts(), ElementsAre(message));
    }

    // "Level" writes no level; a failed level write still writes the mode and reference.
    chain.form().modeChoice = 0;
    chain.form().referenceIndex = 1;
    setting(chain);
    EXPECT_THAT(io.sent, ElementsAre("040", "111111,1,1111,1111,1111,1111,1111,11", "041"));
    chain.form().modeChoice = 1;
    chain.form().level = "9";
    io.forced[IoCommand::WriteAdcLevel] = kNoAnswer;
    setting(chain);
    EXPECT_EQ(io.sent.at(2), "111211,1,1111,1111,1111,1111,1111,11");
    EXPECT_THAT(prompter.messageTexts(), ElementsAre("Warning ADC Value Fail!", "Warning! Setting ADC port !"));
}

TEST_F(ChainTest, AdcReferenceNamingNoItemIsWrittenBackAsRead) {
    io.device.state().reference = '7';
    AdcPortChain chain(io, prompter);
    route(chain);
    chain.open(1);
    EXPECT_EQ(chain.form().referenceIndex, -1);
    setting(chain);
    EXPECT_EQ(io.sent.at(1), "111111,7,1111,1111,1111,1111,1111,11");
}

TEST_F(ChainTest, SerialFirmware) {
    SerialFirmwareChain chain(io, prompter);
    io.onResult = [&](int index, int result) { chain.onIoResult(index, result); };
    chain.open();
    EXPECT_THAT(prompter.messageTexts(), ElementsAre("It did not set serial number!"));

    io.device.state().serialNumber = "TARN-0001-2026-AB";
    io.device.state().firmwareVersion = "V2.10.07";
    chain.open();
    EXPECT_EQ(chain.serialNumber(), "TARN-0001-2026-AB");
    EXPECT_EQ(chain.firmwareVersion(), "V2.10.07");

    prompter.clear();
    io.silent = true;
    chain.open();
    chain.onIoResult(IoCommand::ReadStatus, 0);  // not its command: nothing
    io.timeOut();
    EXPECT_THAT(prompter.messageTexts(), ElementsAre("Fail : Read serial number/firmware version!"));
    EXPECT_TRUE(chain.serialNumber().empty());
}

}  // namespace
}  // namespace tarn
