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

    // A device the log does not know, and the operator cancelled the dialog: nothing goes out, and
    // it is the operator's choice, not a failure.
    DeviceEntry unknown = ioDevice("Unknown", 23);
    host.selected = {unknown};
    prompter.answerCredentials(std::nullopt);
    session.RequestParameterValues(0);
    ASSERT_EQ(host.outcomes.size(), 3u);
    EXPECT_EQ(summary(host.outcomes[2]), (Summary{{"Unknown", "Get", "cancelled", "Password dialog cancelled"}}));
}

// Stop during a read of many devices: the devices not asked yet get nothing, those asked are no
// longer waited for, both cancelled; a reply that comes after is late, and no further part follows.
TEST_F(OperationOutcomesTest, StopEndsAReadAtOnce) {
    host.selected = {ioDevice("A", 41), ioDevice("B", 42), ioDevice("C", 43), ioDevice("D", 44)};
    for (const DeviceEntry& d : host.selected) logCredentials(d, "admin", "admin");
    session.RequestParameterValues(0);               // A asked
    session.timerExpired(SessionTimer::NextDevice);  // and B
    ASSERT_EQ(host.sent.size(), 2u);
    answer(0, CommandCode::GetValuesReply, deviceValues({{"Location", "Roof"}}));
    session.stopReading();
    EXPECT_TRUE(!session.reading() && host.running.empty());
    ASSERT_EQ(host.outcomes.size(), 1u);
    EXPECT_EQ(summary(host.outcomes[0]), (Summary{{"A", "Get", "ok", ""},
                                                  {"B", "Get", "cancelled", "Stopped"},
                                                  {"C", "Get", "cancelled", "Stopped"},
                                                  {"D", "Get", "cancelled", "Stopped"}}));
    answer(1, CommandCode::GetValuesReply, deviceValues({}));
    EXPECT_EQ(host.late, 1);
    EXPECT_EQ(host.sent.size(), 2u);
}

// Browsing moves the selection without reading: Set writes only while the selected devices are
// those whose values the list shows, and says otherwise what it shows.
TEST_F(OperationOutcomesTest, SetWritesOnlyToTheDevicesWhoseValuesAreShown) {
    const DeviceEntry a = ioDevice("Gateway-North", 51), b = ioDevice("B", 52), c = ioDevice("C", 53);
    selectAndGet({a});
    answer(0, CommandCode::GetValuesReply, deviceValues({{"Location", "Roof"}}));
    edit("Location", "Cellar");
    EXPECT_TRUE(session.showsSelection());
    EXPECT_EQ(session.selectionNotice(), "");
    const std::size_t sent = host.sent.size();
    for (const auto& [selection, notice] : std::vector<std::pair<std::vector<DeviceEntry>, std::string>>{
             {{a, b, c}, "Values of Gateway-North. Press Enter to read the 3 selected devices"},
             {{b}, "Values of Gateway-North. Press Enter to read B"},
             {{}, "Values of Gateway-North. No device is selected"}}) {
        host.selected = selection;
        EXPECT_EQ(session.selectionNotice(), notice);
        session.set();
        EXPECT_EQ(prompter.messageTexts().back(), notice);
        EXPECT_EQ(host.sent.size(), sent) << notice;
    }
    // The same device found again at the same address, its MAC in other letters: still the one shown.
    DeviceEntry again = a;
    again.mac = "00:50:c2:00:00:33";
    host.selected = {again};
    EXPECT_TRUE(session.showsSelection());
    prompter.answerYesNo(true);  // Set Confirm
    session.set();
    EXPECT_EQ(host.sent.size(), sent + 1);
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
