// Which datagrams the management link passes on: from the device asked, for a request outstanding,
// with the command's own reply code. Requests and replies are built here, not by the simulator.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/discovery/management_message.h"
#include "core/discovery/reply_gate.h"

using namespace tarn;

namespace {

const MacAddress kMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x05};

Bytes message(CommandCode code, std::uint16_t id, bool macForm = false, MacAddress mac = kMac) {
    RequestAddress a;
    a.macForm = macForm;
    a.mac = mac;
    a.id = "admin";
    a.password = "admin";
    return buildRequest(a, code, Bytes{0x01, 0x00, 0x00, 0x00}, ByteOrder::Big, id)->bytes;
}

}  // namespace

TEST(ReplyGate, TakesOnlyTheAskedDevicesReplyWithItsCodeOnce) {
    ReplyGate gate;
    ASSERT_TRUE(gate.noteSent(message(CommandCode::GetValues, 0x1111), "127.0.0.5"));
    ASSERT_TRUE(gate.noteSent(message(CommandCode::SetValues, 0x2222), "127.0.0.6"));
    ASSERT_TRUE(gate.noteSent(message(CommandCode::Reboot, 0x3333), "127.0.0.7"));
    EXPECT_FALSE(gate.noteSent(Bytes{0x03, 0xA8, 0x16}, "127.0.0.8"));

    struct Case {
        Bytes datagram;
        std::string sender;
        ReplyVerdict verdict;
    };
    const std::vector<Case> cases = {
        {Bytes{0x03, 0xA8, 0x16, 0xDA, 0x05}, "127.0.0.5", ReplyVerdict::NotAReply},
        {message(CommandCode::GetValuesReply, 0x1112), "127.0.0.5", ReplyVerdict::NotOutstanding},
        {message(CommandCode::GetValuesReply, 0x1111), "127.0.0.66", ReplyVerdict::WrongSender},  // a forger
        {message(CommandCode::SetValuesReply, 0x1111), "127.0.0.5", ReplyVerdict::WrongCode},
        {message(CommandCode::GetValuesReply, 0x1111), "127.0.0.5", ReplyVerdict::Accepted},
        {message(CommandCode::GetValuesReply, 0x1111), "127.0.0.5", ReplyVerdict::NotOutstanding},  // answered
        {message(CommandCode::RebootDone, 0x2222), "127.0.0.6", ReplyVerdict::WrongCode},
        {message(CommandCode::AuthFailed, 0x2222), "127.0.0.6", ReplyVerdict::Accepted},  // any command's refusal
        {message(CommandCode::RebootDone, 0x3333), "127.0.0.7", ReplyVerdict::Accepted},
    };
    for (const Case& c : cases) EXPECT_EQ(gate.check(c.datagram, c.sender), c.verdict) << c.sender;
    EXPECT_EQ(gate.count(ReplyVerdict::Accepted), 3u);
    EXPECT_EQ(gate.dropped(), 6u);
    EXPECT_EQ(gate.outstanding(), 0u);
}

TEST(ReplyGate, AMacAddressedDeviceAnswersFromAnyAddressWithItsOwnMac) {
    ReplyGate gate;
    const MacAddress other{0x02, 0x00, 0x00, 0x00, 0x00, 0x66};
    gate.noteSent(message(CommandCode::GetValues, 0x4444, true), "");
    gate.noteSent(message(CommandCode::GetValues, 0x5555, true), "10.1.3.255");  // a subnet's broadcast
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 0x4444, true, other), "127.0.0.5"),
              ReplyVerdict::WrongDevice);
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 0x4444), "127.0.0.5"), ReplyVerdict::WrongDevice);
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 0x4444, true), "127.0.0.99"), ReplyVerdict::Accepted);
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 0x5555, true), "10.1.3.2"), ReplyVerdict::Accepted);
}

TEST(ReplyGate, TwoRequestsWithOneIdAndTheOldestForgottenPastTheCapacity) {
    ReplyGate gate;
    gate.noteSent(message(CommandCode::GetValues, 0x0100), "127.0.0.5");
    gate.noteSent(message(CommandCode::GetValues, 0x0100), "127.0.0.6");
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 0x0100), "127.0.0.6"), ReplyVerdict::Accepted);
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 0x0100), "127.0.0.5"), ReplyVerdict::Accepted);

    for (std::size_t i = 0; i <= ReplyGate::kCapacity; ++i)
        gate.noteSent(message(CommandCode::GetValues, static_cast<std::uint16_t>(10 + i)), "127.0.0.5");
    EXPECT_EQ(gate.outstanding(), ReplyGate::kCapacity);
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 10), "127.0.0.5"), ReplyVerdict::NotOutstanding);
    EXPECT_EQ(gate.check(message(CommandCode::GetValuesReply, 11), "127.0.0.5"), ReplyVerdict::Accepted);
}
