// What each reply changes: values by the value rule, the monitor's address, marks, the log, and the
// questions that follow; and the parts of long sets.
#include <gtest/gtest.h>

#include "session_fixture.h"

namespace tarn::test {
namespace {

const std::map<std::string, std::string> kStatic = {
    {"Device name", "Pump House"}, {"IP mode", "Static"}, {"IP address", "10.1.2.3"}, {"Local port", "502"}};

TEST_F(SessionTest, ValuesReplyFillsTheRowsAndCapturesTheMonitorTarget) {
    const DeviceEntry pump = ioDevice("Pump", 11);
    selectAndGet({pump});
    ASSERT_EQ(host.definitionChanges, 1);
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    EXPECT_EQ(value("Device name"), "Pump House");
    EXPECT_EQ(value("Idle timeout"), "Never  s");  // FormatValue: defined value and unit
    EXPECT_EQ(host.monitorAddress, "10.1.2.3");
    EXPECT_EQ(host.monitorPort, 502);
    const ParameterTable& t = session.table();
    ASSERT_EQ(t.row(t.rowCount() - 1).name, "Set up Input/Output/ADC ports");
    EXPECT_TRUE(prompter.records().empty());

    // With DHCP the monitor goes to the address the device was found at.
    selectAndGet({pump});
    auto dhcp = kStatic;
    dhcp["IP mode"] = "DHCP";
    answer(1, CommandCode::GetValuesReply, deviceValues(dhcp));
    EXPECT_EQ(host.monitorAddress, "127.0.0.11");
}

TEST_F(SessionTest, ADeviceIsLoggedOnceWhenItAcceptsTypedCredentials) {
    const DeviceEntry pump = ioDevice("Pump", 11);
    host.selected = {pump};
    prompter.answerCredentials(Credentials{"op", "secret"});
    session.RequestParameterValues(0);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(prompts("credentials").at(0).text, "[ Pump ]");
    CredentialLog log(logPath);
    log.LoadLog();
    EXPECT_EQ(log.count(), 0);  // typed, not yet accepted
    // Two copies of the reply (a duplicate): one entry, one set-up row.
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    log.LoadLog();
    ASSERT_EQ(log.count(), 1);
    EXPECT_EQ(log.entry(0).mac, "00:50:C2:00:00:0B");
    EXPECT_EQ(log.entry(0).password, "secret");
    const ParameterTable& t = session.table();
    EXPECT_EQ(t.rowCount(), t.recordRowCount() + 1);
}

TEST_F(SessionTest, SeveralDevicesShowAValueOnlyWhenTheyAgree) {
    selectAndGet({ioDevice("A", 11), ioDevice("B", 12)});
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.progress.front(), "Reading parameters: 1 of 2");
    auto b = kStatic;
    b["Device name"] = "Other";
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    EXPECT_EQ(value("Device name"), "Pump House");  // the first answer fills the cell
    answer(1, CommandCode::GetValuesReply, deviceValues(b));
    EXPECT_EQ(value("Device name"), "");
    EXPECT_EQ(value("IP address"), "10.1.2.3");  // equal in both
    EXPECT_FALSE(host.running.count(SessionTimer::ReplyWait));
    // Saved, the emptied cell is "<none>" and no empty text: loading the file empties no name.
    const std::string row = "[" + std::to_string(session.table().findRow("Device name")) + "]\t ";
    const std::string saved = formatConfiguration({2, "74", "1.2"}, session.table().configurationRows());
    EXPECT_NE(saved.find(row + "<none>\n"), std::string::npos);
    EXPECT_EQ(saved.find(row, saved.find("<exact>")), std::string::npos) << saved;
}

TEST_F(SessionTest, DamagedRepliesAreReportedAndReadOnlyInsideTheDatagram) {
    selectAndGet({ioDevice("Pump", 11)});
    Bytes bad = reply(host.sent[0].bytes, CommandCode::GetValuesReply, deviceValues(kStatic));
    const std::uint16_t sum = readU16(&bad[bad.size() - 2], ByteOrder::Big);
    writeU16(&bad[bad.size() - 2], static_cast<std::uint16_t>(sum + 1), ByteOrder::Big);
    session.handleDatagram(bad);
    EXPECT_EQ(prompter.messageTexts(),
              std::vector<std::string>{"cal : " + std::to_string(sum) + " recv : " + std::to_string(sum + 1) + " "});
    EXPECT_EQ(value("Device name"), "Pump House");  // handled as if it matched

    selectAndGet({ioDevice("Pump", 11)});
    prompter.clear();
    Bytes cut = reply(host.sent[1].bytes, CommandCode::GetValuesReply, deviceValues(kStatic));
    cut.resize(cut.size() - 10);  // the length now points past the end
    session.handleDatagram(cut);
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Message length error"});
    EXPECT_EQ(value("Device name"), "");
    EXPECT_EQ(session.table().row(session.table().rowCount() - 1).name, "Set up Input/Output/ADC ports");

    // A record that claims more bytes than the reply holds, behind a good one.
    selectAndGet({ioDevice("Pump", 11)});
    prompter.clear();
    Bytes body;
    appendValueEntry(body, "1.1.1", Bytes{'X', 0}, ByteOrder::Big);
    body.insert(body.end(), {3, 1, 1, 2, 0x00, 0x40, 'Y'});
    answer(2, CommandCode::GetValuesReply, body);
    EXPECT_EQ(value("Device name"), "X");
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Message length error"});
}

TEST_F(SessionTest, RefusedCredentialsAreAskedAgainEvenForALoggedDevice) {
    const DeviceEntry pump = ioDevice("Pump", 11);
    selectAndGet({pump});
    prompter.answerCredentials(Credentials{"admin", "right"});
    answer(0, CommandCode::AuthFailed);
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Error occured. Try again !!"});
    ASSERT_EQ(prompts("credentials").size(), 1u);
    EXPECT_EQ(prompts("credentials")[0].text, "[ Pump ]");
    ASSERT_EQ(host.sent.size(), 2u);
    const auto head = parseReplyHeader(host.sent[1].bytes, ByteOrder::Big);
    EXPECT_EQ(head->password, "right");
    // The log takes the typed credentials only once the device accepts them.
    CredentialLog log(logPath);
    log.LoadLog();
    EXPECT_EQ(log.entry(log.FindMac(pump.mac)).password, "admin");
    answer(1, CommandCode::GetValuesReply, deviceValues(kStatic));
    log.LoadLog();
    EXPECT_EQ(log.entry(log.FindMac(pump.mac)).password, "right");
}

TEST_F(SessionTest, ASetThatChangesTheDevicesPasswordLetsTheLogFollow) {
    const DeviceEntry pump = ioDevice("Pump", 11);
    selectAndGet({pump});
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    ParameterTable& t = session.table();
    const int pw = t.findRow("Password");
    t.beginEdit(pw);
    t.setValue(pw, "n3w");
    prompter.answerYesNo(true);   // Set Confirm
    prompter.answerYesNo(false);  // no reboot now
    session.set();
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_FALSE(session.credentialChangePending(pump.mac));  // not before the device took it
    answer(1, CommandCode::SetValuesReply);
    EXPECT_TRUE(session.credentialChangePending(pump.mac));
    EXPECT_FALSE(t.modified(t.row(pw).record));
    EXPECT_EQ(prompts("confirm").back().text,
              "Parameter values updated !\nYou have to reboot device(s) to apply changes.\n"
              "Do you want to reboot device(s) now? ");

    // The next request still carries the old password; the device refuses it.
    session.RequestParameterValues(0);
    answer(host.sent.size() - 1, CommandCode::AuthFailed);
    EXPECT_TRUE(prompts("credentials").empty());
    EXPECT_FALSE(session.credentialChangePending(pump.mac));
    const auto head = parseReplyHeader(host.sent.back().bytes, ByteOrder::Big);
    EXPECT_EQ(head->id, "admin");
    EXPECT_EQ(head->password, "n3w");
}

TEST_F(SessionTest, ALongSetGoesOutInPartsAndAsksToRebootOnceAtTheEnd) {
    const std::vector<DeviceEntry> pair = {ioDevice("A", 11), ioDevice("B", 12)};
    selectAndGet(pair);
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    answer(1, CommandCode::GetValuesReply, deviceValues(kStatic));
    ParameterTable& t = session.table();
    // Every editable row, as it is; but the device's own (empty) ID and password, which no set may send.
    for (int r = 0; r < t.recordRowCount(); ++r)
        if (t.row(r).name != "User ID" && t.row(r).name != "Password") t.beginEdit(r);
    const int refused = t.findRow("Input mode");
    t.setValue(refused, "Sideways");
    t.setValue(t.findRow("Local port"), "99999");
    session.set();  // refused before the confirmation: nothing is asked or sent
    EXPECT_TRUE(prompts("confirm").empty());
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(prompter.messageTexts().back(),
              "Nothing was sent. These values do not fit their parameters:\n"
              "Local port: at most 65535\n"
              "Input mode (Inputs/DI 1): one of: Disabled, Normal, Counter");
    EXPECT_TRUE(t.rowModified(refused));
    t.setValue(refused, "Counter");
    t.setValue(t.findRow("Local port"), "0502");
    prompter.answerYesNo(true);
    session.set();
    ASSERT_EQ(host.sent.size(), 4u);
    const auto first = parseReplyHeader(host.sent[2].bytes, ByteOrder::Big);
    const auto second = parseReplyHeader(host.sent[3].bytes, ByteOrder::Big);
    EXPECT_EQ(hexDump(first->body), hexDump(second->body));  // every device gets the same rows
    answer(2, CommandCode::SetValuesReply);
    EXPECT_EQ(prompts("confirm").size(), 1u);  // waits for the other device

    answer(3, CommandCode::SetValuesReply);  // the next part goes out without asking again
    EXPECT_EQ(prompts("confirm").size(), 1u);
    ASSERT_EQ(host.sent.size(), 6u);
    const auto rest = parseReplyHeader(host.sent[4].bytes, ByteOrder::Big);
    const auto firstIds = readValueEntries(first->body, ByteOrder::Big).entries;
    for (const auto& e : readValueEntries(rest->body, ByteOrder::Big).entries)
        for (const auto& f : firstIds) EXPECT_NE(e.id, f.id);  // nothing twice

    // Device B stays silent: the wait runs out and the question names it, once.
    answer(4, CommandCode::SetValuesReply);
    EXPECT_EQ(prompts("confirm").size(), 1u);
    session.timerExpired(SessionTimer::ReplyWait);
    ASSERT_EQ(prompts("confirm").size(), 2u);
    EXPECT_EQ(prompts("confirm")[1].text,
              "Parameter values updated !\nYou have to reboot device(s) to apply changes.\n"
              "Do you want to reboot device(s) now? \nNo reply from B");
    for (int r = 0; r < t.recordRowCount(); ++r) EXPECT_FALSE(t.rowModified(r)) << r;
    // The rows show what the devices now hold.
    EXPECT_EQ(value("Local port"), "502");
}

// The password dialog says the credentials were refused only when they were, and offers its answer
// for the other selected devices the log does not know: ticked, those are not asked.
TEST_F(SessionTest, ThePasswordQuestionSaysWhatItKnows) {
    const DeviceEntry a = ioDevice("A", 11), b = ioDevice("B", 12), c = ioDevice("C", 13), d = ioDevice("D", 14);
    logCredentials(c, "admin", "admin");
    host.selected = {a, b, c, d};
    prompter.answerCredentials(CredentialsAnswer{{"admin", "admin"}, true});
    session.RequestParameterValues(0);
    while (host.running.count(SessionTimer::NextDevice)) session.timerExpired(SessionTimer::NextDevice);
    ASSERT_EQ(host.sent.size(), 4u);
    ASSERT_EQ(prompts("credentials").size(), 1u);  // B and D take A's answer, C the log's
    EXPECT_EQ(prompts("credentials")[0].text, "[ A ]");
    EXPECT_FALSE(prompter.lastCredentialsQuestion().refused);
    EXPECT_EQ(prompter.lastCredentialsQuestion().otherUnknownDevices, 2);

    // A refuses: the get goes again, and the question about A says so and offers nothing more.
    answer(0, CommandCode::AuthFailed);
    for (std::size_t i = 1; i < 4; ++i) answer(i, CommandCode::GetValuesReply, deviceValues({}));
    ASSERT_EQ(prompts("credentials").size(), 2u);
    EXPECT_EQ(prompts("credentials")[1].text, "[ A ]");
    EXPECT_TRUE(prompter.lastCredentialsQuestion().refused);
    EXPECT_EQ(prompter.lastCredentialsQuestion().otherUnknownDevices, 0);
    EXPECT_EQ(loggedPassword(b), "admin");  // accepted by B's answer
}

// Another selection while the list holds edits asks once; "No" keeps the edits and puts the
// selection back on the listed device (so a Set cannot write them elsewhere), "Yes" loads the new one.
TEST_F(SessionTest, LeavingADeviceWithEditsAsksOnceBeforeTheyAreLost) {
    const DeviceEntry a = ioDevice("A", 11), b = ioDevice("B", 12);
    selectAndGet({a});
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    edit("Location", "Cellar");
    edit("Local port", "503");
    logCredentials(b, "admin", "admin");
    host.selected = {b};
    prompter.answerYesNo(false);
    session.RequestParameterValues(0);
    ASSERT_EQ(prompts("yesno").size(), 1u);
    EXPECT_EQ(prompts("yesno")[0].text, "Discard 2 edited values?");
    EXPECT_TRUE(host.sent.size() == 1u && marked("Location"));
    ASSERT_EQ(host.restored.size(), 1u);
    EXPECT_EQ(host.restored[0].name, "A");

    host.selected = {a};  // the same devices again: nothing to ask
    session.RequestParameterValues(0);
    EXPECT_EQ(prompts("yesno").size(), 1u);
    answer(1, CommandCode::GetValuesReply, deviceValues(kStatic));
    edit("Location", "Cellar");
    host.selected = {b};
    prompter.answerYesNo(true);
    session.RequestParameterValues(0);
    EXPECT_EQ(prompts("yesno").back().text, "Discard 1 edited values?");
    ASSERT_EQ(host.sent.size(), 3u);
    EXPECT_EQ(host.sent[2].address, "127.0.0.12");
}

TEST_F(SessionTest, RepliesTimersAndCommandsWhileAQuestionIsOpen) {
    const DeviceEntry a = ioDevice("A", 11), b = ioDevice("B", 12);
    logCredentials(a, "admin", "admin");
    host.selected = {a, b};
    session.RequestParameterValues(0);
    ASSERT_EQ(host.sent.size(), 1u);
    // B is not in the log: while its password dialog is open, A answers and is shown at once; the
    // spacing timer and new commands change nothing, and no second question comes.
    prompter.holdNextQuestion();
    session.timerExpired(SessionTimer::NextDevice);
    ASSERT_TRUE(prompter.questionOpen());
    answer(0, CommandCode::GetValuesReply, deviceValues(kStatic));
    EXPECT_EQ(value("Device name"), "Pump House");
    session.timerExpired(SessionTimer::NextDevice);
    session.reboot();
    session.RequestParameterValues(0);
    EXPECT_TRUE(session.busy());
    EXPECT_EQ(prompts("credentials").size(), 1u);
    EXPECT_EQ(prompts("confirm").size(), 0u);
    ASSERT_EQ(host.sent.size(), 1u);
    prompter.answerCredentials(Credentials{"admin", "admin"});
    ASSERT_TRUE(prompter.answerHeld());
    ASSERT_EQ(host.sent.size(), 2u);
    prompter.answerYesNo(true);
    prompter.answerCredentials(Credentials{"admin", "admin"});  // B has not answered: not logged yet
    session.reboot();
    ASSERT_EQ(host.sent.size(), 4u);
    EXPECT_EQ(prompts("credentials").back().text, "[ B ]");
    answer(2, CommandCode::RebootDone);
    answer(2, CommandCode::RebootDone);
    answer(1, CommandCode::RebootDone);  // the get's request id: not this operation's
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Shut down completed!. Now rebooting..."});
}

}  // namespace
}  // namespace tarn::test

namespace tarn::test {
namespace {

TEST_F(SessionTest, AMissingDcfLeavesNoStaleSetGroupsOrRows) {
    selectAndGet({ioDevice("Pump", 11)});
    ASSERT_NE(session.table().definitions(), nullptr);
    ASSERT_GT(session.table().rowCount(), 0);
    const std::size_t sent = host.sent.size();
    selectAndGet({ioDevice("Old", 12, "1.9")});
    EXPECT_EQ(session.table().definitions(), nullptr);
    EXPECT_EQ(session.table().rowCount(), 0);
    EXPECT_EQ(host.definitionChanges, 2);
    EXPECT_EQ(host.sent.size(), sent);  // nothing asked
    ASSERT_FALSE(prompter.messageTexts().empty());
    EXPECT_EQ(prompter.messageTexts().back().rfind("Can't find configuration file!", 0), 0u);
    session.SelectGroup(1);  // no set: nothing happens
    EXPECT_EQ(host.sent.size(), sent);
}

}  // namespace
}  // namespace tarn::test
