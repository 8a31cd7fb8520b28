// The monitor panel's flow: configuration first, polling, titles, retries, questions, clicks,
// and the poll interval file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/monitor/input_port_chain.h"
#include "core/monitor/monitor_interval.h"
#include "core/monitor/monitor_panel.h"
#include "core/monitor/output_port_chain.h"
#include "core/monitor/serial_firmware_chain.h"
#include "device_io.h"
#include "support/scripted_prompter.h"

namespace tarn {
namespace {

using test::DeviceIo;
using test::ScriptedPrompter;

struct FakeHost : MonitorPanelHost {
    int timerMs = -1;  // -1: stopped
    std::string title = "TARN";
    int connects = 0;
    int disconnects = 0;
    int closes = 0;
    int dialogCloses = 0;
    int serialFirmwareCloses = 0;
    int questionsPosted = 0;
    bool connectWorks = true;
    std::function<void()> onConnect;

    void startPollTimer(int ms) override { timerMs = ms; }
    void stopPollTimer() override { timerMs = -1; }
    void setTitle(std::string_view t) override { title = t; }
    void repaint() override {}
    bool connectLink() override {
        ++connects;
        if (connectWorks && onConnect) onConnect();
        return connectWorks;
    }
    void disconnectLink() override { ++disconnects; }
    void closeMonitor() override { ++closes; }
    void closePortDialog() override { ++dialogCloses; }
    void closeSerialFirmware() override { ++serialFirmwareCloses; }
    void postReconnectQuestion() override { ++questionsPosted; }
    int goodStatuses = 0;
    void goodStatusReceived() override { ++goodStatuses; }
    std::int64_t clock = 0;
    std::int64_t nowMs() override { return clock += 2000; }
};

struct PanelTest : ::testing::Test {
    DeviceIo io;
    ScriptedPrompter prompter;
    FakeHost host;
    int configFailures = 0;
    MonitorPanel panel{host, io, prompter, configFailures};

    PanelTest() {
        io.onResult = [this](int index, int result) { panel.onIoResult(index, result); };
        io.onLinkLost = [this] { panel.onLinkLost(); };
        host.onConnect = [this] { io.engine().onLinkOpened(); };
    }
    // The link drops; the question comes from the event loop, as CTARNWnd posts it.
    void loseLink() {
        const int posted = host.questionsPosted;
        io.dropLink();
        if (host.questionsPosted > posted) panel.onReconnectQuestionDue();
    }
    DisplayState output(int n) const { return panel.ports().outputs[n - 1].state; }
    DisplayState input(int n) const { return panel.ports().inputs[n - 1].state; }
};

TEST_F(PanelTest, ConfigurationFirstThenStatus) {
    io.device.state().outputEnable[1] = false;
    io.device.state().inputEnable[0] = false;
    io.device.state().outputOn[0] = true;
    io.device.state().adcMode = {0, 0, 1, 1};
    io.device.state().adcValue = {7, 1023, 10, 0};
    io.device.state().adcLevel = {"0000", "0000", "0005", "0005"};
    panel.start(3);

    EXPECT_EQ(io.sent, (std::vector<std::string>{"130", "030"}));
    EXPECT_EQ(host.timerMs, 3000);
    EXPECT_EQ(host.title, "TARN - Communication normality");
    EXPECT_EQ(output(1), DisplayState::On);
    EXPECT_EQ(output(2), DisplayState::Disabled);
    EXPECT_EQ(output(3), DisplayState::Off);
    EXPECT_EQ(input(1), DisplayState::Disabled);
    EXPECT_EQ(input(2), DisplayState::Off);
    const auto& adc = panel.ports().adcPorts;
    EXPECT_TRUE(adc[0].levelShown);
    EXPECT_EQ(adc[0].label, "0007");
    EXPECT_EQ(adc[1].label, "1023");
    EXPECT_EQ(adc[2].state, DisplayState::On);  // a switch above its level
    EXPECT_FALSE(adc[2].levelShown);
    EXPECT_EQ(adc[3].state, DisplayState::Off);
}

// The panel shows the device's word or says it does not know: a port never read is unknown, not Off;
// a status read that fails shows nothing as read; a lost link is named in the title at once, also
// while its question is open, and forgets what was shown.
TEST_F(PanelTest, WhatWasNeverReadIsUnknownNotOff) {
    io.device.state().outputEnable[1] = false;
    io.forced[IoCommand::ReadStatus] = '7';
    EXPECT_TRUE(panel.ports().outputs[0].unknown());
    panel.start(2);
    EXPECT_EQ(output(2), DisplayState::Disabled);
    EXPECT_FALSE(panel.ports().outputs[1].unknown());  // the configuration says so
    EXPECT_EQ(output(3), DisplayState::Off);
    EXPECT_TRUE(panel.ports().outputs[2].unknown());
    EXPECT_TRUE(panel.ports().adcPorts[0].unknown());
    EXPECT_EQ(host.title, "TARN");
    EXPECT_FALSE(panel.lightsOn());
    EXPECT_EQ(host.goodStatuses, 0);

    io.forced.clear();
    panel.onPollTimer();
    EXPECT_FALSE(panel.ports().outputs[2].unknown());
    EXPECT_FALSE(panel.ports().inputs[0].unknown());
    EXPECT_EQ(host.goodStatuses, 1);

    prompter.holdNextQuestion();
    loseLink();
    ASSERT_TRUE(prompter.questionOpen());
    EXPECT_EQ(host.title, "TARN - Communication fail");
    EXPECT_FALSE(panel.lightsOn());
    for (const PortIndicator& p : panel.ports().outputs) EXPECT_TRUE(p.unknown()) << p.number;
}

TEST_F(PanelTest, StatusCodesThatNameNoStateLeaveThePort) {
    panel.start(2);
    PanelPorts ports = panel.ports();
    IoStatus status;
    status.output[0] = PortStateCode::OnWithLevel;
    status.output[1] = PortStateCode::NoChange;
    status.output[2] = PortStateCode::Macro;
    status.input[0] = PortStateCode::DelayOn;
    status.input[1] = PortStateCode::On;
    ports.outputs[3].state = DisplayState::Disabled;
    status.output[3] = PortStateCode::On;
    ports.applyStatus(status);
    EXPECT_EQ(ports.outputs[0].state, DisplayState::Off);
    EXPECT_EQ(ports.outputs[1].state, DisplayState::Off);
    EXPECT_EQ(ports.outputs[2].state, DisplayState::Macro);
    EXPECT_EQ(ports.outputs[3].state, DisplayState::Disabled);
    EXPECT_EQ(ports.inputs[0].state, DisplayState::Off);
    EXPECT_EQ(ports.inputs[1].state, DisplayState::On);
}

TEST_F(PanelTest, SixthMissedPollTurnsTheTitleAndPollsNeverPileUp) {
    panel.start(2);
    io.silent = true;
    for (int tick = 1; tick <= 5; ++tick) {
        panel.onPollTimer();
        EXPECT_EQ(host.title, "TARN - Communication normality") << tick;
    }
    EXPECT_TRUE(panel.lightsOn());
    panel.onPollTimer();
    EXPECT_EQ(host.title, "TARN - Communication fail");
    EXPECT_FALSE(panel.lightsOn());            // dark while the device does not answer
    EXPECT_EQ(io.engine().queuedCount(), 0u);  // one status read waits, no more are queued

    io.timeOut();
    io.silent = false;
    panel.onPollTimer();
    EXPECT_EQ(host.title, "TARN - Communication normality");
    EXPECT_TRUE(panel.lightsOn());
    EXPECT_EQ(panel.missedPolls(), 0);
}

TEST_F(PanelTest, RecordsEveryStatusResultAndEachLossOnce) {
    io.device.state().adcValue = {1, 2, 3, 1023};
    io.device.state().inputOn[4] = true;
    panel.start(2);
    io.silent = true;
    panel.onPollTimer();
    io.timeOut();
    io.silent = false;
    io.device.state().settingMode = true;
    prompter.holdNextQuestion();
    panel.onPollTimer();
    loseLink();  // a poll fails with the link: told once, as the loss
    const IoHistory& h = panel.history();
    std::vector<std::string> links;
    for (std::size_t i = 0; i < h.size(); ++i) links.push_back(linkSampleText(h.at(i).link()));
    EXPECT_EQ(links, (std::vector<std::string>{"ok", "no reply", "setting mode", "lost"}));
    EXPECT_EQ(h.at(0).adcValue(3), 1023);
    EXPECT_EQ(h.at(0).input(4), PortStateCode::On);
    EXPECT_EQ(h.at(3).timeMs(), 8000);
}

TEST_F(PanelTest, FailedConfigurationReadsRetryFourTimesThenShowEverythingOff) {
    io.forced[IoCommand::ReadEnableStatus] = '5';
    panel.start(2);
    EXPECT_EQ(std::count(io.sent.begin(), io.sent.end(), "130"), 5);
    EXPECT_EQ(output(1), DisplayState::Off);
    EXPECT_EQ(input(12), DisplayState::Off);
    EXPECT_EQ(configFailures, 4);

    // The count belongs to the program: a monitor opened again does not retry.
    io.sent.clear();
    MonitorPanel again(host, io, prompter, configFailures);
    io.onResult = [&](int index, int result) { again.onIoResult(index, result); };
    again.start(2);
    EXPECT_EQ(io.sent, std::vector<std::string>{"130"});

    io.forced.clear();
    again.onIoResult(IoCommand::ReadEnableStatus, '0');
    EXPECT_EQ(configFailures, 0);
}

TEST_F(PanelTest, SettingModeQuestion) {
    panel.start(2);
    io.device.state().settingMode = true;
    prompter.answerYesNo(true);
    io.sent.clear();
    panel.onPollTimer();
    EXPECT_EQ(prompter.records().back().text, "Current is setting mode, Please set the working mode");
    EXPECT_EQ(io.sent, (std::vector<std::string>{"030", "041", "030"}));
    EXPECT_FALSE(io.device.state().settingMode);
    EXPECT_EQ(host.timerMs, 2000);

    // While a port dialog is open nothing is asked.
    InputPortChain chain(io, prompter);
    panel.beginPortDialog(chain);
    EXPECT_EQ(host.timerMs, -1);
    io.device.state().settingMode = true;
    prompter.clear();
    panel.onIoResult(IoCommand::ReadStatus, '1');
    EXPECT_TRUE(prompter.records().empty());

    // Polling resumes with a status read when the dialog closes; it finds setting mode, and No closes.
    prompter.answerYesNo(false);
    panel.endPortDialog();
    EXPECT_EQ(host.closes, 1);
    EXPECT_TRUE(panel.closing());
}

TEST_F(PanelTest, LinkLost) {
    panel.start(2);
    EXPECT_TRUE(panel.lightsOn());
    // A second notice while the question is open is the same loss: not asked again.
    prompter.holdNextQuestion();
    io.sent.clear();
    loseLink();
    ASSERT_TRUE(prompter.questionOpen());
    panel.onLinkLost();
    prompter.answerYesNo(true);
    ASSERT_TRUE(prompter.answerHeld());
    EXPECT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].text, "Commnunication Lost : Do you want to re-conect?");
    EXPECT_EQ(host.disconnects, 1);
    EXPECT_EQ(host.connects, 2);
    EXPECT_EQ(io.sent.front(), "130");
    EXPECT_EQ(panel.phase(), MonitorPanel::Phase::Running);
    EXPECT_TRUE(panel.lightsOn());

    // A failed reconnect is told, closes the monitor and silences later notices.
    host.connectWorks = false;
    prompter.answerYesNo(true);
    prompter.clear();
    loseLink();
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Can't connect with TARN device !!"});
    EXPECT_EQ(host.closes, 1);
    EXPECT_FALSE(panel.lightsOn());
    loseLink();
    EXPECT_EQ(prompter.records().size(), 2u);
}

TEST_F(PanelTest, DeclinedReconnectClosesAndIgnoresLaterNotices) {
    panel.start(2);
    loseLink();  // no answer scripted: No
    EXPECT_EQ(host.closes, 1);
    EXPECT_TRUE(panel.closing());
    loseLink();
    EXPECT_EQ(prompter.records().size(), 1u);
    io.sent.clear();
    panel.onPollTimer();
    EXPECT_TRUE(io.sent.empty());
}

// The link drops while a port dialog waits for a result: the dialog shows that request's failure
// and closes; nothing more is sent, the configuration read is not retried, the lights go dark,
// and the re-connect question comes only once the dialog has closed.
TEST_F(PanelTest, LinkLostWhileAPortDialogWaitsEndsTheDialogFirst) {
    panel.start(2);
    OutputPortChain chain(io, prompter);
    panel.beginPortDialog(chain);
    io.autoPump = false;
    chain.open(3);
    io.sent.clear();
    const int failures = configFailures;
    loseLink();
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Read Enable Status Fail!"});
    EXPECT_EQ(host.dialogCloses, 1);
    EXPECT_FALSE(chain.running());
    EXPECT_TRUE(io.sent.empty());
    EXPECT_EQ(configFailures, failures);
    EXPECT_FALSE(panel.lightsOn());
    EXPECT_EQ(host.timerMs, -1);
    EXPECT_EQ(prompter.records().size(), 1u);  // no question yet

    prompter.answerYesNo(false);
    chain.close();
    panel.endPortDialog();
    ASSERT_EQ(prompter.records().size(), 2u);
    EXPECT_EQ(prompter.records()[1].text, "Commnunication Lost : Do you want to re-conect?");
    EXPECT_EQ(host.closes, 1);
}

// The dialog's failure message is still open when the dialog has closed: the reconnect question
// comes only once the operator has closed it, never on top of it.
TEST_F(PanelTest, TheReconnectQuestionWaitsForThePortDialogsFailureMessage) {
    panel.start(2);
    OutputPortChain chain(io, prompter);
    panel.beginPortDialog(chain);
    io.autoPump = false;
    chain.open(3);
    prompter.holdNextQuestion();  // the failure message stays open
    loseLink();
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Read Enable Status Fail!"});
    panel.endPortDialog();
    panel.onReconnectQuestionDue();
    EXPECT_EQ(prompter.records().size(), 1u);  // no question over the message
    prompter.answerYesNo(false);
    ASSERT_TRUE(prompter.answerHeld());  // the operator closes the message
    ASSERT_EQ(prompter.records().size(), 2u);
    EXPECT_EQ(prompter.records()[1].text, "Commnunication Lost : Do you want to re-conect?");
}

TEST_F(PanelTest, LinkLostClosesAnIdlePortDialogAtOnceAndEndsTheSerialFirmwareDialogAfterItsFailure) {
    panel.start(2);
    InputPortChain chain(io, prompter);
    panel.beginPortDialog(chain);
    chain.open(1);  // read at once; the dialog now waits for the operator
    ASSERT_FALSE(chain.running());
    SerialFirmwareChain serial(io, prompter);
    panel.beginSerialFirmware(serial);
    io.autoPump = false;
    serial.open();
    ASSERT_TRUE(serial.waiting());
    prompter.clear();
    loseLink();
    EXPECT_EQ(host.dialogCloses, 1);
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Fail : Read serial number/firmware version!"});
    EXPECT_EQ(host.serialFirmwareCloses, 1);
    EXPECT_EQ(prompter.records().size(), 1u);

    prompter.answerYesNo(true);
    panel.endPortDialog();
    EXPECT_EQ(prompter.records().size(), 1u);  // the serial dialog is still open
    panel.endSerialFirmware();
    ASSERT_EQ(prompter.records().size(), 2u);
    EXPECT_EQ(prompter.records()[1].text, "Commnunication Lost : Do you want to re-conect?");
    EXPECT_EQ(host.connects, 2);
    EXPECT_EQ(panel.phase(), MonitorPanel::Phase::Running);
}

TEST_F(PanelTest, ClicksHitEdgesAndSwitchOutputs) {
    io.device.state().outputEnable[9] = false;
    panel.start(2);
    EXPECT_EQ(panel.portAt(167, 41), (PortRef{PortKind::Output, 1}));
    EXPECT_EQ(panel.portAt(185, 59), (PortRef{PortKind::Output, 1}));
    EXPECT_EQ(panel.portAt(186, 59), std::nullopt);
    EXPECT_EQ(panel.portAt(266, 354), (PortRef{PortKind::Adc, 1}));  // right edge of ADC 1
    EXPECT_EQ(panel.portAt(356 + 27 * 11 + 18, 354), (PortRef{PortKind::Input, 12}));

    // The clicks below take their points from the ports' own rectangles.
    const PortIndicator& first = panel.ports().outputs[0];
    const PortIndicator& last = panel.ports().outputs[9];
    const PortIndicator& adc = panel.ports().adcPorts[0];
    io.sent.clear();
    EXPECT_TRUE(panel.leftClick(first.right, first.bottom));  // Off: on
    EXPECT_EQ(io.sent.at(0), "011000000000,1000000000");
    EXPECT_EQ(output(1), DisplayState::On);
    EXPECT_TRUE(panel.leftClick(first.left, first.top));  // On: off
    EXPECT_EQ(io.sent.at(1), "011000000000,0000000000");
    io.sent.clear();
    EXPECT_TRUE(panel.leftClick(last.left, last.top));                       // disabled: nothing
    EXPECT_FALSE(panel.leftClick((adc.left + adc.right) / 2, adc.top + 4));  // an ADC port cannot be switched
    EXPECT_TRUE(io.sent.empty());
    EXPECT_EQ(panel.portAt(last.left, last.top), (PortRef{PortKind::Output, 10}));  // but opens its dialog
}

TEST(MonitorInterval, FileRules) {
    const auto dir = std::filesystem::temp_directory_path() / ("tarn-interval-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "MonInter.dat").string();
    auto write = [&](std::string bytes) { std::ofstream(path, std::ios::binary) << bytes; };

    EXPECT_EQ(loadMonitorInterval(path), 2);  // missing
    write(std::string("\x07\x00\x00", 3));
    EXPECT_EQ(loadMonitorInterval(path), 2);  // short
    for (const char* bytes : {"\x00\x00\x00\x00", "\xFF\xFF\xFF\xFF", "\x00\x00\x00\x40"}) {
        write(std::string(bytes, 4));
        EXPECT_EQ(loadMonitorInterval(path), 2);  // 0, negative, too long for a millisecond timer
    }
    ASSERT_TRUE(storeMonitorInterval(path, 10));
    std::ifstream in(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(stored, std::string("\x0A\x00\x00\x00", 4));
    EXPECT_EQ(loadMonitorInterval(path), 10);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarn
