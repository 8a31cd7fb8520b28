// The I/O command engine's decisions, driven through a scripted host: queueing, results,
// time-outs, retransmission, unmatched replies and link failures. No real time passes.
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "core/iolink/io_engine.h"
#include "core/iolink/io_frame.h"

namespace tarn {
namespace {

using State = IoCommandEngine::State;

struct FakeEngineHost : IoEngineHost {
    std::vector<std::string> sent;
    std::vector<std::pair<int, int>> results;
    int linkLost = 0;
    int timerMs = -1;  // -1: not running
    bool failSends = false;
    std::vector<std::string> rejected;
    std::function<void(int, int)> onResult;
    std::function<bool()> restart;  // set: the link can be made anew (TCP)
    std::vector<std::string> dropped;

    bool sendFrame(std::string_view frame) override {
        if (failSends) return false;
        sent.emplace_back(frame);
        return true;
    }
    void startReplyTimer(int ms) override { timerMs = ms; }
    void stopReplyTimer() override { timerMs = -1; }
    void ioResult(int index, int result) override {
        results.emplace_back(index, result);
        if (onResult) onResult(index, result);
    }
    void ioLinkLost() override { ++linkLost; }
    void rejectedReply(int, std::string_view payload) override { rejected.emplace_back(payload); }
    bool restartLink() override { return restart && restart(); }
    void lateReplyDropped(std::string_view f) override { dropped.emplace_back(f); }
};

std::string frame(const std::string& payload) { return *buildIoFrame(payload); }

class IoEngineTest : public ::testing::Test {
protected:
    IoEngineTest() { engine.onLinkOpened(); }
    void reply(const std::string& payload) { engine.onBytesReceived(frame(payload)); }

    FakeEngineHost host;
    IoCommandEngine engine{host};
};

TEST_F(IoEngineTest, QueuedRequestsGoOutOneAtATimeInOrder) {
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    engine.QueueRequest(IoRequests::ReadStatus());
    EXPECT_EQ(host.sent, std::vector<std::string>{frame("130")});
    EXPECT_EQ(host.timerMs, kReplyTimeoutMs);
    EXPECT_EQ(engine.state(), State::AwaitingReply);
    EXPECT_EQ(engine.queuedCount(), 1u);

    reply(
        "120"
        "1111,0,1111,1111,1111,1111,1111,11");
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{13, '0'}}));
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1], ":030300A\r\n");
    EXPECT_EQ(host.timerMs, kReplyTimeoutMs);

    reply("021");
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{13, '0'}, {0, '1'}}));
    EXPECT_EQ(engine.state(), State::Idle);
    EXPECT_EQ(host.timerMs, -1);
}

TEST_F(IoEngineTest, HandlerMayQueueTheNextCommandAndSeesTheUpdatedBlocks) {
    std::string nameSeen;
    host.onResult = [&](int index, int) {
        if (index != IoCommand::ReadSerialFirmware) return;
        nameSeen = engine.config().serialNumber;
        engine.QueueRequest(IoRequests::ChangeRunMode());
        // Sent only after this handler returns.
        EXPECT_EQ(host.sent.size(), 1u);
        EXPECT_EQ(engine.state(), State::Reporting);
    };
    engine.QueueRequest(IoRequests::ReadSerialFirmware());
    reply(
        "630"
        "ABCDEFGHIJKLMNOPQ"
        "v1.02.03");
    EXPECT_EQ(nameSeen, "ABCDEFGHIJKLMNOPQ");
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1], ":030410C\r\n");
    EXPECT_EQ(engine.state(), State::AwaitingReply);
    EXPECT_EQ(engine.currentCommand(), IoCommand::ChangeRunMode);
}

// After a time-out a reply is owed, and it never passes for the next request's answer. A serial
// line is drained: the next request waits for the owed reply (thrown away) or one more time-out.
TEST_F(IoEngineTest, TimeOutFailsTheRequestAndTheLateReplyNeverAnswersTheNext) {
    const std::string status = "020" + std::string(51, '1');
    engine.QueueRequest(IoRequests::ReadStatus());
    engine.QueueRequest(IoRequests::ReadStatus());
    engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_EQ(host.sent.size(), 1u);  // the second poll waits
    EXPECT_EQ(engine.state(), State::Draining);
    EXPECT_EQ(host.timerMs, kReplyTimeoutMs);
    reply(status);  // the first poll's late answer: thrown away, not the second's
    EXPECT_EQ(host.dropped.size(), 1u);
    EXPECT_EQ(host.results.size(), 1u);
    EXPECT_NE(engine.status().output[0], PortStateCode::On);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(engine.state(), State::AwaitingReply);
    reply(status);  // its own answer
    EXPECT_EQ(host.results.back(), (std::pair<int, int>{0, '0'}));

    // The owed reply never comes (the device dropped the request): one more time-out, then on.
    engine.QueueRequest(IoRequests::ReadPowerStoppage());
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    engine.onReplyTimeout();
    EXPECT_EQ(host.sent.size(), 3u);
    engine.onReplyTimeout();
    ASSERT_EQ(host.sent.size(), 4u);
    EXPECT_EQ(host.sent.back(), frame("130"));
    EXPECT_EQ(host.results.size(), 3u);
}

// A link that can be made anew (TCP) is dropped and opened again after a time-out: a late reply
// goes to the old connection, and the next request waits for the new one.
TEST_F(IoEngineTest, ATimeOutOpensATcpLinkAnewBeforeTheNextRequest) {
    host.restart = [this] {
        engine.onLinkOpening();
        return true;
    };
    engine.QueueRequest(IoRequests::ReadMacroData(3));
    engine.QueueRequest(IoRequests::ReadDelayPulseData(3));
    engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{10, 0}}));
    EXPECT_EQ(engine.link(), IoCommandEngine::Link::Opening);
    EXPECT_EQ(host.sent.size(), 1u);
    engine.onLinkOpened();
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent.back(), frame("07033"));
    // The new connection cannot be made: what waits fails.
    engine.onReplyTimeout();
    engine.onLinkOpenFailed();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{10, 0}, {11, 0}}));
}

TEST_F(IoEngineTest, NakIsRetransmittedAtMostThreeTimes) {
    engine.QueueRequest(IoRequests::ReadAdcLevel());
    reply("00NAK");
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1], host.sent[0]);
    reply(
        "090"
        "0001000200030004");
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{12, '0'}}));
    EXPECT_EQ(engine.config().adcLevel[3], "0004");

    engine.QueueRequest(IoRequests::ReadAdcLevel());
    for (int i = 0; i < 3; ++i) reply("00NAK");
    EXPECT_EQ(host.sent.size(), 2u + 1 + 3);
    EXPECT_EQ(host.results.size(), 1u);
    reply("00NAK");  // the fourth
    EXPECT_EQ(host.sent.size(), 6u);
    EXPECT_EQ(host.results.back(), (std::pair<int, int>{12, 0}));
    EXPECT_EQ(engine.state(), State::Idle);
}

TEST_F(IoEngineTest, RetransmissionAndNakCountBelongToTheRequestInFlight) {
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    reply("00NAK");
    engine.QueueRequest(IoRequests::ReadSerialFirmware());  // queued while the first is in flight
    reply("00NAK");
    ASSERT_EQ(host.sent.size(), 3u);
    EXPECT_EQ(host.sent[2], host.sent[0]);  // the in-flight request, not the newest queued one
    reply(
        "120"
        "1111,0,1111,1111,1111,1111,1111,11");
    ASSERT_EQ(host.sent.size(), 4u);
    EXPECT_EQ(host.sent[3], frame("620"));
    // The second request starts with a fresh NAK budget.
    for (int i = 0; i < 3; ++i) reply("00NAK");
    EXPECT_EQ(host.results.size(), 1u);
    EXPECT_EQ(engine.nakCount(), 3);
}

// A reply counts only when it is its command's and whole: another command's reply (an enable-status
// "12" to a switch included), or a good one cut short, fails the request at once, changes nothing and
// is told once.
TEST_F(IoEngineTest, OnlyItsOwnWholeReplyAnswersARequest) {
    const std::string enable =
        "120"
        "1111,0,1111,1111,1111,1111,1111,11";
    engine.QueueRequest(IoRequests::SwitchOutput(3, 0));
    engine.QueueRequest(IoRequests::ChangeRunMode());
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    reply(enable);
    reply(enable);
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{0, 0}, {3, 0}}));
    EXPECT_EQ(host.rejected.size(), 2u);
    EXPECT_FALSE(engine.config().wasRead(IoBlock::EnableStatus));
    reply(enable);
    EXPECT_EQ(host.results.back(), (std::pair<int, int>{13, '0'}));
    EXPECT_TRUE(engine.config().wasRead(IoBlock::EnableStatus));

    host.results.clear();
    engine.QueueRequest(IoRequests::ReadStatus());
    engine.onBytesReceived(":0402013E\r\n");  // bad checksum
    engine.QueueRequest(IoRequests::ReadStatus());
    reply(
        "020"
        "91234,");
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}}));
    EXPECT_EQ(host.rejected.back(),
              "020"
              "91234,");
    EXPECT_EQ(engine.status(), IoStatus{});
    EXPECT_EQ(host.timerMs, -1);
}

TEST_F(IoEngineTest, ReplySplitIntoBytesAndNoiseAndFramesFromBeforeTheSend) {
    engine.QueueRequest(IoRequests::ChangeSettingMode());
    for (char c : "zz" + frame("021")) engine.onBytesReceived(std::string(1, c));
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{2, '1'}}));

    // One chunk holds the reply and a duplicate of it; the duplicate arrived before the next
    // request went out, so it cannot answer that request.
    host.onResult = [&](int index, int) {
        if (index == IoCommand::ChangeSettingMode) engine.QueueRequest(IoRequests::ChangeRunMode());
    };
    engine.QueueRequest(IoRequests::ChangeSettingMode());
    engine.onBytesReceived(frame("021") + frame("020"));
    EXPECT_EQ(host.results.size(), 2u);
    EXPECT_EQ(engine.state(), State::AwaitingReply);
    reply("020");
    EXPECT_EQ(host.results.back(), (std::pair<int, int>{3, '0'}));
}

// A lost link is told once, before any result; then the request in flight and each queued one get
// their one result, 0, from the event loop (never inside QueueRequest), in queue order.
TEST_F(IoEngineTest, LostLinkIsToldOnceAndEveryRequestStillGetsItsResult) {
    host.failSends = true;
    std::vector<std::string> order;
    host.onResult = [&](int index, int) { order.push_back("result " + std::to_string(index)); };
    engine.QueueRequest(IoRequests::ReadStatus());
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    EXPECT_EQ(host.linkLost, 1);
    EXPECT_TRUE(host.results.empty());
    EXPECT_EQ(engine.state(), State::FailingAtOnce);
    EXPECT_EQ(host.timerMs, 0);
    engine.onReplyTimeout();
    engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{0, 0}, {13, 0}}));
    engine.onLinkLost();
    EXPECT_EQ(host.linkLost, 1);  // reported once
    EXPECT_EQ(engine.state(), State::Idle);

    // The link drops while a request waits for its reply, with another queued behind it.
    host.failSends = false;
    host.results.clear();
    engine.onLinkOpened();
    engine.QueueRequest(IoRequests::ReadSerialFirmware());
    engine.QueueRequest(IoRequests::ChangeRunMode());
    ASSERT_EQ(engine.state(), State::AwaitingReply);
    host.onResult = [&](int index, int) { order.push_back("result " + std::to_string(index)); };
    order.clear();
    const int lostBefore = host.linkLost;
    engine.onLinkLost();
    EXPECT_EQ(host.linkLost, lostBefore + 1);
    EXPECT_TRUE(host.results.empty());
    engine.onReplyTimeout();
    engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{15, 0}, {3, 0}}));
    EXPECT_EQ(order, (std::vector<std::string>{"result 15", "result 3"}));
    EXPECT_EQ(engine.state(), State::Idle);
    EXPECT_FALSE(engine.busy());
}

TEST_F(IoEngineTest, RequestWithoutLinkFailsAtOnceInsteadOfHanging) {
    engine.onLinkClosed();
    engine.QueueRequest(IoRequests::ReadStatus());
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(host.timerMs, 0);
    EXPECT_TRUE(host.results.empty());  // not inside QueueRequest
    engine.onReplyTimeout();
    engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{0, 0}, {13, 0}}));
    EXPECT_EQ(engine.state(), State::Idle);

    engine.onLinkOpened();
    engine.QueueRequest(IoRequests::ReadStatus());
    EXPECT_EQ(host.sent.size(), 1u);
}

TEST_F(IoEngineTest, DisconnectInsideHandlerDropsTheQueueAndTheLongestRequestFits) {
    host.onResult = [&](int, int) { engine.onLinkClosed(); };
    engine.QueueRequest(IoRequests::ReadStatus());
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    reply("021");
    EXPECT_EQ(host.results.size(), 1u);
    EXPECT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(engine.queuedCount(), 0u);
    EXPECT_EQ(engine.state(), State::Idle);

    engine.onLinkOpened();
    EXPECT_TRUE(engine.QueueRequest(std::string(kMaxRequestPayload, '0'), 4));
    EXPECT_EQ(host.sent.back().size(), kMaxRequestFrameBytes);
}

TEST_F(IoEngineTest, RequestsQueuedWhileOpeningAreHeldUntilTheOutcome) {
    engine.onLinkClosed();
    engine.onLinkOpening();
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    engine.QueueRequest(IoRequests::ReadStatus());
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(host.timerMs, -1);  // held, not failing
    EXPECT_TRUE(engine.busy());
    EXPECT_TRUE(engine.isPending(IoCommand::ReadStatus));
    engine.onReplyTimeout();  // a stray time-out fails nothing that was not sent
    EXPECT_TRUE(host.results.empty());

    engine.onLinkOpened();
    EXPECT_EQ(host.sent, std::vector<std::string>{frame("130")});
    reply(
        "120"
        "1111,0,1111,1111,1111,1111,1111,11");
    reply("020" + std::string(51, '1'));
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{13, '0'}, {0, '0'}}));

    // The open fails: every held request fails, exactly once, in order, from the timer.
    engine.onLinkClosed();
    engine.onLinkOpening();
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    engine.QueueRequest(IoRequests::ReadSerialFirmware());
    engine.onLinkOpenFailed();
    EXPECT_EQ(host.results.size(), 2u);  // not inside the call
    EXPECT_EQ(host.timerMs, 0);
    for (int i = 0; i < 4; ++i) engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{13, '0'}, {0, '0'}, {13, 0}, {15, 0}}));
    EXPECT_EQ(host.sent.size(), 2u);
    EXPECT_FALSE(engine.busy());
    engine.onLinkOpenFailed();  // a second notice changes nothing
    engine.onReplyTimeout();
    EXPECT_EQ(host.results.size(), 4u);
}

TEST_F(IoEngineTest, RefusedRequestsGiveExactlyOneResultZeroAndTheChainGoesOn) {
    IoConfig neverRead;
    neverRead.macroEnabled = 1;
    neverRead.macroText = std::string(89, 'O');
    // A chain as a port dialog runs it: each next request from the handler of the previous one.
    host.onResult = [&](int index, int) {
        if (index == IoCommand::ChangeSettingMode) engine.QueueRequest(IoRequests::WriteEnableStatus(neverRead));
        if (index == IoCommand::WriteEnableStatus) engine.QueueRequest(IoRequests::WriteMacroData(neverRead, 3));
        if (index == IoCommand::WriteMacroData) engine.QueueRequest(std::string(kMaxRequestPayload + 1, '0'), 9);
        if (index == 9) engine.QueueRequest(IoRequests::ChangeRunMode());
    };
    engine.QueueRequest(IoRequests::ChangeSettingMode());
    reply("021");
    EXPECT_EQ(engine.state(), State::FailingAtOnce);
    EXPECT_EQ(host.timerMs, 0);
    for (int i = 0; i < 3; ++i) engine.onReplyTimeout();
    EXPECT_EQ(host.results, (std::vector<std::pair<int, int>>{{2, '1'}, {7, 0}, {4, 0}, {9, 0}}));
    // Nothing refused went out; the device is brought back to run mode.
    EXPECT_EQ(host.sent, (std::vector<std::string>{frame("040"), frame("041")}));
    engine.onReplyTimeout();
    EXPECT_EQ(host.results.back(), (std::pair<int, int>{3, 0}));
    EXPECT_EQ(host.results.size(), 5u);

    // Refused with no link, and refused while the link is opening: still one result each.
    engine.onLinkClosed();
    EXPECT_FALSE(engine.QueueRequest(IoRequests::SwitchOutput(11, 0)));
    engine.onLinkOpening();
    engine.QueueRequest(IoRequests::ReadStatus());
    EXPECT_FALSE(engine.QueueRequest(IoRequests::ReadMacroData(0)));
    engine.onReplyTimeout();
    EXPECT_EQ(host.results.back(), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(host.timerMs, -1);  // the status read is held, the refused one waits behind it
    engine.onLinkOpened();
    reply("020" + std::string(51, '1'));
    engine.onReplyTimeout();
    EXPECT_EQ(host.results,
              (std::vector<std::pair<int, int>>{{2, '1'}, {7, 0}, {4, 0}, {9, 0}, {3, 0}, {0, 0}, {0, '0'}, {10, 0}}));
}

TEST_F(IoEngineTest, PendingAndBusyTellWhetherAPollIsStillWaiting) {
    EXPECT_FALSE(engine.busy());
    engine.QueueRequest(IoRequests::ReadStatus());
    EXPECT_TRUE(engine.isPending(IoCommand::ReadStatus));
    EXPECT_FALSE(engine.isPending(IoCommand::ReadEnableStatus));
    engine.QueueRequest(IoRequests::ReadEnableStatus());
    EXPECT_TRUE(engine.isPending(IoCommand::ReadEnableStatus));  // queued behind
    bool pendingInHandler = true;
    host.onResult = [&](int index, int) {
        if (index == IoCommand::ReadStatus) pendingInHandler = engine.isPending(IoCommand::ReadStatus);
    };
    reply("020" + std::string(51, '1'));
    EXPECT_FALSE(pendingInHandler);  // the request being reported is done
    EXPECT_FALSE(engine.isPending(IoCommand::ReadStatus));
    EXPECT_TRUE(engine.busy());
    engine.onReplyTimeout();
    EXPECT_FALSE(engine.busy());
}

}  // namespace
}  // namespace tarn
