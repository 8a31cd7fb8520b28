// The operator's work and the device's data under faults: values checked before anything is sent,
// late and repeated replies, refusals in the middle of a set, Clear, and the credentials the log
// keeps. Each case checks what went out, the rows and their marks, and pwd.ini.
#include <gtest/gtest.h>

#include "core/common/text.h"
#include "session_fixture.h"

namespace tarn::test {
namespace {

const std::map<std::string, std::string> kValues = {
    {"Device name", "Pump"}, {"Location", "Roof 7"}, {"IP mode", "Static"}, {"Local port", "502"}};

// Values (name -> text) that a set request carries.
std::map<std::string, std::string> carried(const Bytes& request, const DefinitionSet& set) {
    std::map<std::string, std::string> out;
    const auto head = parseReplyHeader(request, ByteOrder::Big);
    for (const ValueEntry& e : readValueEntries(head->body, ByteOrder::Big).entries) {
        const int j = FindRecordById(set, e.id);
        out[set.records[static_cast<std::size_t>(j)].name] =
            FormatValue(set.records[static_cast<std::size_t>(j)], e.value, ByteOrder::Big);
    }
    return out;
}

class SessionFaults : public SessionTest {
protected:
    DeviceEntry pump = ioDevice("Pump", 11);
    void SetUp() override {
        selectAndGet({pump});
        answer(0, CommandCode::GetValuesReply, deviceValues(kValues));
        prompter.clear();
    }
};

TEST_F(SessionFaults, ValuesThatDoNotEncodeExactlyStopTheWholeSet) {
    edit("Local port", "99999");
    edit("Max connections", "abc");
    edit("IP address", "999.1.2");
    edit("Device name", "Seventeen chars!!");
    edit("Password", "abcdefghijklmnopqrstu");  // 21 characters for a 16-byte record
    edit("Location", "Fine");
    prompter.answerYesNo(true);
    session.set();
    EXPECT_EQ(host.sent.size(), 1u);  // only the get
    EXPECT_TRUE(prompts("confirm").empty());
    EXPECT_EQ(prompter.messageTexts(),
              std::vector<std::string>{"Nothing was sent. These values do not fit their parameters:\n"
                                       "Device name: at most 16 characters\n"
                                       "Password: at most 16 characters\n"
                                       "IP address: four numbers from 0 to 255 separated by \".\"\n"
                                       "Local port: at most 65535\n"
                                       "Max connections: a whole number from 0 to 255"});
    for (const char* name : {"Local port", "Max connections", "IP address", "Device name", "Password", "Location"})
        EXPECT_TRUE(marked(name)) << name;
    EXPECT_EQ(value("Local port"), "99999");
    EXPECT_FALSE(session.credentialChangePending(pump.mac));
    EXPECT_EQ(loggedPassword(pump), "admin");
}

TEST_F(SessionFaults, ALateReplyChangesNothingTheOperatorDid) {
    selectAndGet({pump});  // the device is slow: the wait runs out
    session.timerExpired(SessionTimer::ReplyWait);
    EXPECT_EQ(host.progress.back(), "No reply from Pump");
    edit("Location", "Cellar");
    auto late = kValues;
    late["Location"] = "Attic";
    answer(1, CommandCode::GetValuesReply, deviceValues(late));
    EXPECT_EQ(value("Location"), "Cellar");
    EXPECT_TRUE(marked("Location"));
    EXPECT_EQ(host.late, 1);
    // A late refusal revives nothing: no message, no request.
    answer(1, CommandCode::AuthFailed);
    EXPECT_EQ(host.late, 2);
    EXPECT_EQ(host.sent.size(), 2u);
    EXPECT_TRUE(prompter.records().empty());
    EXPECT_EQ(loggedPassword(pump), "admin");
}

TEST_F(SessionFaults, ARefusedSetSendsTheSameMarkedValuesWithTheNewCredentials) {
    edit("Location", "Roof 8");
    edit("Local port", "503");
    prompter.answerYesNo(true);  // Set Confirm
    session.set();
    ASSERT_EQ(host.sent.size(), 2u);
    const auto first = carried(host.sent[1].bytes, set());
    prompter.answerCredentials(Credentials{"admin", "better"});
    answer(1, CommandCode::AuthFailed);
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Error occured. Try again !!"});
    ASSERT_EQ(prompts("credentials").size(), 1u);
    EXPECT_EQ(prompts("credentials")[0].text, "[ Pump ]");
    ASSERT_EQ(host.sent.size(), 3u);
    EXPECT_EQ(carried(host.sent[2].bytes, set()), first);
    EXPECT_EQ(first.at("Location"), "Roof 8");
    EXPECT_EQ(parseReplyHeader(host.sent[2].bytes, ByteOrder::Big)->password, "better");
    EXPECT_TRUE(marked("Location"));
    EXPECT_EQ(value("Location"), "Roof 8");
    EXPECT_EQ(loggedPassword(pump), "admin");  // not accepted yet

    prompter.answerYesNo(false);  // no reboot now
    answer(2, CommandCode::SetValuesReply);
    EXPECT_FALSE(marked("Location"));
    EXPECT_FALSE(marked("Local port"));
    EXPECT_EQ(loggedPassword(pump), "better");
    EXPECT_EQ(prompts("confirm").back().caption, "Reboot Confirm");

    // Cancelling the dialog after a refusal keeps the marks for the next try.
    edit("Location", "Roof 9");
    prompter.answerYesNo(true);
    session.set();
    answer(3, CommandCode::AuthFailed);
    EXPECT_EQ(host.sent.size(), 4u);
    EXPECT_TRUE(marked("Location"));
    EXPECT_EQ(value("Location"), "Roof 9");
}

TEST_F(SessionFaults, ClearRemovesValuesAndMarksSoASetWritesNothing) {
    edit("Location", "Roof 8");
    session.clear();
    EXPECT_EQ(value("Location"), "");
    EXPECT_FALSE(marked("Location"));
    EXPECT_EQ(loggedPassword(pump), "<none>");
    // The next set asks for credentials, naming the device, and carries no value.
    prompter.answerYesNo(true);
    prompter.answerCredentials(Credentials{"admin", "admin"});
    session.set();
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(prompts("credentials").at(0).text, "[ Pump ]");
    EXPECT_TRUE(carried(host.sent[1].bytes, set()).empty());
}

TEST_F(SessionFaults, ARefusedLongPasswordNeverReplacesAWorkingEntry) {
    session.askCredentials(toUpperAscii(pump.mac));
    prompter.answerCredentials(Credentials{"admin", std::string(100, 'p')});
    session.RequestParameterValues(0);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(parseReplyHeader(host.sent[1].bytes, ByteOrder::Big)->password, std::string(100, 'p'));
    EXPECT_EQ(loggedPassword(pump), "admin");
    answer(1, CommandCode::AuthFailed);  // the dialog comes again; Cancel
    EXPECT_EQ(loggedPassword(pump), "admin");
    // The working entry still reads the device without a dialog.
    const std::size_t asked = prompts("credentials").size();
    session.RequestParameterValues(0);
    EXPECT_EQ(prompts("credentials").size(), asked + 1);  // refused devices are asked once more
    prompter.answerCredentials(Credentials{"admin", "admin"});
    session.RequestParameterValues(0);
    answer(host.sent.size() - 1, CommandCode::GetValuesReply, deviceValues(kValues));
    session.RequestParameterValues(0);
    EXPECT_EQ(parseReplyHeader(host.sent.back().bytes, ByteOrder::Big)->password, "admin");
}

}  // namespace
}  // namespace tarn::test
