// What the traffic log shows of I/O frames on one link: each request by its command, each reply by
// the request it answers.
#include <gtest/gtest.h>

#include "core/iolink/io_commands.h"
#include "core/iolink/io_frame.h"
#include "core/iolink/io_traffic.h"

using namespace tarn;

namespace {

std::string framed(const IoRequest& r) { return *buildIoFrame(r.payload); }
std::string framed(std::string_view payload) { return *buildIoFrame(payload); }

}  // namespace

TEST(IoTraffic, RequestsByCommandRepliesByTheRequestTheyAnswer) {
    IoTrafficDecoder link;
    EXPECT_EQ(link.received(framed("0201")), "reply 02 result 0");  // nothing asked yet
    EXPECT_EQ(link.sent(framed(IoRequests::ReadStatus())), "ReadStatus");
    EXPECT_EQ(link.received(":0500NAK7B\r\n"), "NAK");
    EXPECT_EQ(link.received(framed("020" + std::string(51, '0'))), "ReadStatus reply result 0");
    EXPECT_EQ(link.sent(framed(IoRequests::SwitchOutput(3, 0))), "SwitchOutput  port 3 on");
    EXPECT_EQ(link.received(framed("021")), "SwitchOutput reply result 1");
    EXPECT_EQ(link.sent(framed(IoRequests::SwitchOutput(10, 1))), "SwitchOutput  port 10 off");
    EXPECT_EQ(link.sent(framed(IoRequests::ChangeSettingMode())), "ChangeSettingMode");
    EXPECT_EQ(link.received(framed("021")), "ChangeSettingMode reply result 1");
    EXPECT_EQ(link.sent(framed(IoRequests::ChangeRunMode())), "ChangeRunMode");
    EXPECT_EQ(link.sent(framed(IoRequests::ReadMacroData(2))), "ReadMacroData  port 02");
    EXPECT_EQ(link.sent(framed(IoRequests::ReadDelayPulseData(7))), "ReadDelayPulseData  port 07");
    IoConfig config;
    config.macroEnabled = 1;
    config.macroText = "O1";
    config.pulseEnabled = 1;
    config.pulseText = "0001500003";
    EXPECT_EQ(link.sent(framed(IoRequests::WriteMacroData(config, 4))), "WriteMacroData  port 04 macro");
    EXPECT_EQ(link.sent(framed(IoRequests::WriteDelayPulseData(config, 4))), "WriteDelayPulseData  port 04 0001500003");
    EXPECT_EQ(link.received(framed("0600")), "WriteDelayPulseData reply result 0");
    for (const auto& [request, name] : {std::pair{IoRequests::ReadAdcLevel(), "ReadAdcLevel"},
                                        {IoRequests::ReadEnableStatus(), "ReadEnableStatus"},
                                        {IoRequests::ReadPowerStoppage(), "ReadPowerStoppage"},
                                        {IoRequests::ReadSerialFirmware(), "ReadSerialFirmware"}})
        EXPECT_EQ(link.sent(framed(request)), name);
    EXPECT_EQ(link.sent(framed("99")), "request 99");

    std::string damaged = framed("0200");
    damaged[damaged.size() - 3] ^= 0x01;
    EXPECT_EQ(link.received(damaged), "bad checksum");
    link.reset();
    EXPECT_EQ(link.received(framed("0600")), "reply 06 result 0");
}
