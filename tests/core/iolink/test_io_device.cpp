// The simulated device's interpreter, exercised through the real engine: what the device answers
// and what the engine makes of it.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/iolink/io_device.h"
#include "core/iolink/io_engine.h"

namespace tarn {
namespace {

// A host whose transport is the device model itself; replies come back when pump() is called.
struct LoopHost : IoEngineHost {
    IoDeviceModel device;
    std::vector<std::string> pending;
    std::vector<std::pair<int, int>> results;
    bool sendFrame(std::string_view frame) override {
        pending.push_back(device.answerFrame(frame));
        return true;
    }
    void startReplyTimer(int) override {}
    void stopReplyTimer() override {}
    void ioResult(int index, int result) override { results.emplace_back(index, result); }
    void ioLinkLost() override {}
};

class IoDeviceTest : public ::testing::Test {
protected:
    IoDeviceTest() { engine.onLinkOpened(); }
    int run(const IoRequest& request) {
        EXPECT_FALSE(request.refused());
        const std::size_t before = host.results.size();
        engine.QueueRequest(request);
        while (!host.pending.empty()) {
            const std::string bytes = host.pending.front();
            host.pending.erase(host.pending.begin());
            engine.onBytesReceived(bytes);
        }
        EXPECT_EQ(host.results.size(), before + 1);
        return host.results.empty() ? -1 : host.results.back().second;
    }
    LoopHost host;
    IoCommandEngine engine{host};
};

TEST_F(IoDeviceTest, StatusReflectsSwitchedOutputsInputsAndAdc) {
    host.device.state().inputOn[11] = true;
    host.device.state().adcValue = {512, 0, 1023, 7};
    host.device.state().adcMode[2] = 1;
    host.device.state().adcLevel[2] = "1000";
    EXPECT_EQ(run(IoRequests::SwitchOutput(10, 0)), '0');
    const IoStatus& s = engine.status();
    EXPECT_EQ(s.output[9], PortStateCode::On);
    EXPECT_EQ(s.output[0], PortStateCode::Off);
    EXPECT_EQ(s.input[11], PortStateCode::On);
    EXPECT_EQ(s.adc[0], (IoAdcState{PortStateCode::OnWithLevel, "0512"}));
    EXPECT_EQ(s.adc[2], (IoAdcState{PortStateCode::On, "1023"}));  // switch mode, above its level
    EXPECT_EQ(run(IoRequests::SwitchOutput(10, 1)), '0');
    EXPECT_EQ(engine.status().output[9], PortStateCode::Off);
}

TEST_F(IoDeviceTest, WritesNeedSettingModeAndReadBack) {
    // The whole-block writes start from what was read.
    EXPECT_EQ(run(IoRequests::ReadEnableStatus()), '0');
    EXPECT_EQ(run(IoRequests::ReadPowerStoppage()), '0');
    EXPECT_EQ(run(IoRequests::ReadAdcLevel()), '0');
    IoConfig c = engine.config();
    c.macroEnabled = 1;
    c.macroText = "O1&!I2";
    EXPECT_EQ(run(IoRequests::WriteMacroData(c, 4)), '1');  // run mode
    EXPECT_EQ(run(IoRequests::ChangeSettingMode()), '1');
    EXPECT_EQ(run(IoRequests::ReadStatus()), '1');  // "the device is in setting mode"
    EXPECT_EQ(run(IoRequests::WriteMacroData(c, 4)), '0');
    c.pulseEnabled = 1;
    c.pulseText = "0001500000";
    EXPECT_EQ(run(IoRequests::WriteDelayPulseData(c, 5)), '0');
    c.inputEnable.fill(1);
    c.inputEnable[3] = 0;
    c.outputEnable.fill(1);
    c.adcMode[1] = 1;
    c.reference = '2';
    EXPECT_EQ(run(IoRequests::WriteEnableStatus(c)), '0');
    c.powerStoppage[9] = 1;
    EXPECT_EQ(run(IoRequests::WritePowerStoppage(c)), '0');
    c.adcLevel = {"0001", "0002", "0003", "1023"};
    EXPECT_EQ(run(IoRequests::WriteAdcLevel(c)), '0');
    EXPECT_EQ(run(IoRequests::ChangeRunMode()), '0');

    IoConfig fresh = engine.config();
    EXPECT_EQ(run(IoRequests::ReadMacroData(4)), '0');
    EXPECT_EQ(engine.config().macroText, "O1&!I2");
    EXPECT_EQ(run(IoRequests::ReadMacroData(3)), '2');  // no macro on port 3
    EXPECT_EQ(run(IoRequests::ReadDelayPulseData(5)), '0');
    EXPECT_EQ(engine.config().pulseText, "0001500000");
    EXPECT_EQ(run(IoRequests::ReadEnableStatus()), '0');
    EXPECT_EQ(run(IoRequests::ReadPowerStoppage()), '0');
    EXPECT_EQ(run(IoRequests::ReadAdcLevel()), '0');
    const IoConfig& got = engine.config();
    EXPECT_EQ(got.inputEnable, c.inputEnable);
    EXPECT_EQ(got.adcMode, c.adcMode);
    EXPECT_EQ(got.reference, '2');
    EXPECT_EQ(got.powerStoppage, c.powerStoppage);
    EXPECT_EQ(got.adcLevel, c.adcLevel);
    EXPECT_EQ(run(IoRequests::ReadStatus()), '0');
    EXPECT_EQ(engine.status().output[3], PortStateCode::Macro);
    EXPECT_EQ(engine.status().output[4], PortStateCode::DelayOn);
}

TEST_F(IoDeviceTest, SerialNumberAndBadFrames) {
    EXPECT_EQ(run(IoRequests::ReadSerialFirmware()), '1');
    host.device.state().serialNumber = "TARN-000123456789";
    host.device.state().firmwareVersion = "1.04";
    EXPECT_EQ(run(IoRequests::ReadSerialFirmware()), '0');
    EXPECT_EQ(engine.config().serialNumber, "TARN-000123456789");
    EXPECT_EQ(engine.config().firmwareVersion, "1.04    ");
    EXPECT_EQ(host.device.answerFrame(":030300B\r\n"), ":0500NAK7B\r\n");
    EXPECT_EQ(host.device.answer("0111"), "022");
    EXPECT_EQ(host.device.answer("99"), "00NAK");
}

}  // namespace
}  // namespace tarn
