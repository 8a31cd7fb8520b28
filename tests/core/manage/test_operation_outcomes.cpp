// What the session tells its host when an operation is over: one outcome per device, in the order
// of the selection, from what each device did (answered, refused, stayed silent, sent a broken
// reply) and what the session could not do (no definitions, no credentials).
#include <gtest/gtest.h>

#include "session_fixture.h"

namespace tarn::test {
namespace {

using Summary = std::vector<std::tuple<std::string, std::string, std::string, std::string>>;

// (device name, operation, status word, message) per outcome.
Summary summary(const OperationOutcomes& outcomes) {
    Summary out;
    for (const DeviceOutcome& o : outcomes)
        out.emplace_back(o.device.name, o.operation, std::string(statusName(o.status)), o.message);
    return out;
}

class OperationOutcomesTest : public SessionTest {};

TEST_F(OperationOutcomesTest, AGetReportsEachDeviceAfterTheLastReplyOrTheWait) {
    selectAndGet({ioDevice("Answers", 11), ioDevice("Refuses", 12), ioDevice("Silent", 13), ioDevice("Broken", 14)});
    ASSERT_EQ(host.sent.size(), 4u);
    answer(0, CommandCode::GetValuesReply, deviceValues({{"Device name", "Answers"}}));
    answer(1, CommandCode::AuthFailed);
    Bytes cut = reply(host.sent[3].bytes, CommandCode::GetValuesReply, deviceValues({}));
    cut.resize(cut.size() - 8);  // the length field now points past the datagram
    session.handleDatagram(cut);
    answer(0, CommandCode::GetValuesReply, deviceValues({}));  // a repeat counts nothing
    EXPECT_TRUE(host.outcomes.empty()) << "reported before the wait was over";

    prompter.answerCredentials(std::nullopt);  // the refused device is asked again; Cancel
    session.timerExpired(SessionTimer::ReplyWait);
    ASSERT_GE(host.outcomes.size(), 1u);
    EXPECT_EQ(summary(host.outcomes[0]), (Summary{{"Answers", "Get", "ok", ""},
                                                  {"Refuses", "Get", "refused", "Error occured. Try again !!"},
                                                  {"Silent", "Get", "no-reply", "No reply"},
                                                  {"Broken", "Get", "failed", "Message length error"}}));
}

TEST_F(OperationOutcomesTest, ASetReportsOnceEveryDeviceAnsweredAndACancelledDialogSaysWhy) {
    const DeviceEntry a = ioDevice("A", 21), b = ioDevice("B", 22);
    selectAndGet({a, b});
    answer(0, CommandCode::GetValuesReply, deviceValues({{"Location", "Roof"}}));
    answer(1, CommandCode::GetValuesReply, deviceValues({{"Location", "Roof"}}));
    ASSERT_EQ(host.outcomes.size(), 1u);
    EXPECT_EQ(summary(host.outcomes[0]), (Summary{{"A", "Get", "ok", ""}, {"B", "Get", "ok", ""}}));

    edit("Location", "Cellar");
    prompter.answerYesNo(true);  // Set Confirm
    session.set();
    ASSERT_EQ(host.sent.size(), 4u);
    answer(3, CommandCode::SetValuesReply);
    EXPECT_EQ(host.outcomes.size(), 1u);
    answer(2, CommandCode::SetValuesReply);
    ASSERT_EQ(host.outcomes.size(), 2u);
    EXPECT_EQ(summary(host.outcomes[1]), (Summary{{"A", "Set", "ok", ""}, {"B", "Set", "ok", ""}}));

    // A device the log does not know, and the dialog cancelled: nothing goes out, and it says why.
    DeviceEntry unknown = ioDevice("Unknown", 23);
    host.selected = {unknown};
    prompter.answerCredentials(std::nullopt);
    session.RequestParameterValues(0);
    ASSERT_EQ(host.outcomes.size(), 3u);
    EXPECT_EQ(summary(host.outcomes[2]), (Summary{{"Unknown", "Get", "failed", "No ID and password"}}));
}

TEST_F(OperationOutcomesTest, AProductWithoutDefinitionsIsReportedForEveryDevice) {
    DeviceEntry odd = ioDevice("Odd", 31);
    odd.productId = "99";
    DeviceEntry twin = ioDevice("Twin", 32);
    twin.productId = "99";
    selectAndGet({odd, twin});
    EXPECT_TRUE(host.sent.empty());
    ASSERT_EQ(host.outcomes.size(), 1u);
    EXPECT_EQ(summary(host.outcomes[0]), (Summary{{"Odd", "Get", "no-definitions", "Invalid product id!!"},
                                                  {"Twin", "Get", "no-definitions", "Invalid product id!!"}}));
}

}  // namespace
}  // namespace tarn::test
