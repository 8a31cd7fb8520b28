// The window's backup run without a socket or a widget: one device after the other, each .CNF and
// fleet.json written, a refusal and a silence told apart, the operator asked once, and a cancel
// that sends nothing more.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "core/fleet/backup_run.h"
#include "core/manage/management_requests.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"

namespace tarn {
namespace {

struct Sent {
    Bytes bytes;
    std::string address;
};

class FakeHost : public BackupHost {
public:
    std::vector<Sent> sent;
    std::map<BackupTimer, int> running;
    std::vector<std::string> progress;
    std::optional<OperationOutcomes> finished;
    std::string indexError;

    bool onLocalSubnet(const std::string&) const override { return true; }
    bool sendDatagram(const Bytes& d, const std::string& address) override {
        sent.push_back({d, address});
        return true;
    }
    void startTimer(BackupTimer t, int ms) override { running[t] = ms; }
    void stopTimer(BackupTimer t) override { running.erase(t); }
    void backupProgress(int done, int total, const std::string& current) override {
        progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + current);
    }
    void backupFinished(const OperationOutcomes& outcomes, const std::string& error) override {
        finished = outcomes;
        indexError = error;
    }
};

DeviceEntry device(const std::string& name, int n, const std::string& productId = "74") {
    DeviceEntry e;
    e.name = name;
    e.ip = "127.0.0." + std::to_string(n);
    e.mac = "00:50:c2:00:00:" + std::to_string(10 + n);
    e.productId = productId;
    e.version = "1.1";
    return e;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class BackupRunTest : public ::testing::Test {
protected:
    BackupRunTest()
        : folder(test::scratchDir().toStdString()),
          store(std::make_shared<DefinitionStore>()),
          run(host, operatorPrompter,
              SessionSettings{test::dataDir().toStdString() + "/", folder + "/pwd.ini", 100, 3000, store, nullptr},
              100) {}

    // Fires the timer the run waits for (a device's reply wait, the spacing, the settling).
    void fire(BackupTimer t) {
        ASSERT_TRUE(host.running.count(t)) << static_cast<int>(t);
        host.running.erase(t);
        run.timerExpired(t);
    }
    // A device answers the last request sent: with its values, or a refusal.
    void answerLast(CommandCode code, const std::map<std::string, std::string>& values = {}) {
        const Bytes& request = host.sent.back().bytes;
        const ByteOrder order = ByteOrder::Big;  // product 74
        const auto head = parseReplyHeader(request, order);
        ASSERT_TRUE(head.has_value());
        Bytes body;
        if (code == CommandCode::GetValuesReply) {
            Bytes block;
            for (const ParameterRecord& r : store->current()->records) {
                auto it = values.find(r.name);
                auto bytes = it == values.end() ? std::nullopt : EncodeValue(r, it->second, order);
                const Bytes value = bytes ? *bytes : Bytes(static_cast<std::size_t>(r.size), 0);
                block.insert(block.end(), value.begin(), value.end());
            }
            appendValueEntry(body, "0", block, order);
        }
        RequestAddress a;
        a.id = head->id;
        a.password = head->password;
        run.handleDatagram(buildRequest(a, code, body, order, readU16(head->requestId.data(), order))->bytes);
    }

    std::string folder;
    FakeHost host;
    test::ScriptedPrompter operatorPrompter;
    std::shared_ptr<DefinitionStore> store;
    BackupRun run;
};

TEST_F(BackupRunTest, EachDeviceInTurnAFileForEveryOneThatAnsweredAndTheIndexForAll) {
    operatorPrompter.answerCredentials(Credentials{"admin", "admin"});
    run.start({device("Tank", 1), device("Grumpy", 2), device("Silent", 3), device("Alien", 4, "99")}, folder);
    // The first device that pwd.ini does not know asks the operator; the answer serves the others.
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].address, "127.0.0.1");
    answerLast(CommandCode::GetValuesReply, {{"Device name", "Tank"}, {"Location", "Roof 7"}});
    fire(BackupTimer::Settle);
    // Tank took the typed credentials: pwd.ini takes them once, when the run ends, not per device.
    EXPECT_FALSE(std::filesystem::exists(folder + "/pwd.ini"));
    // The next device starts only after the spacing.
    EXPECT_EQ(host.running.at(BackupTimer::Spacing), 100);
    EXPECT_EQ(host.sent.size(), 1u);
    fire(BackupTimer::Spacing);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1].address, "127.0.0.2");
    answerLast(CommandCode::AuthFailed);  // refused; the session would read it again but is not given a password
    fire(BackupTimer::Settle);
    fire(BackupTimer::Spacing);
    ASSERT_EQ(host.sent.size(), 3u);
    fire(BackupTimer::SessionReplyWait);  // Silent never answers
    fire(BackupTimer::Settle);
    fire(BackupTimer::Spacing);  // Alien: no definitions for product 99, nothing is sent
    EXPECT_EQ(host.sent.size(), 3u);
    if (host.running.count(BackupTimer::Settle)) fire(BackupTimer::Settle);

    ASSERT_TRUE(host.finished.has_value());
    EXPECT_FALSE(run.running());
    EXPECT_EQ(host.indexError, "");
    const OperationOutcomes& o = *host.finished;
    ASSERT_EQ(o.size(), 4u);
    EXPECT_EQ(o[0].status, OutcomeStatus::Ok);
    EXPECT_EQ(o[0].file, "00-50-C2-00-00-11.CNF");
    EXPECT_EQ(o[1].status, OutcomeStatus::Refused);
    EXPECT_EQ(o[1].message, "Error occured. Try again !!");
    EXPECT_EQ(o[2].status, OutcomeStatus::NoReply);
    EXPECT_EQ(o[3].status, OutcomeStatus::NoDefinitions);
    for (const DeviceOutcome& d : o) EXPECT_EQ(d.operation, "Back up");
    EXPECT_EQ(operatorPrompter.records().size(), 1u);
    EXPECT_EQ(operatorPrompter.records().front().text, "[ Tank ]");

    const std::string cnf = readFile(folder + "/00-50-C2-00-00-11.CNF");
    EXPECT_EQ(cnf.rfind("1 \t 74 \t 1.1 \n[0]\t Tank\n[1]\t Roof_7\n", 0), 0u) << cnf.substr(0, 60);
    EXPECT_FALSE(std::filesystem::exists(folder + "/00-50-C2-00-00-12.CNF"));
    EXPECT_NE(readFile(folder + "/pwd.ini").find("MAC : 00:50:C2:00:00:11 \nID : admin"), std::string::npos);
    const std::string index = readFile(folder + "/fleet.json");
    for (const char* status : {"\"ok\"", "\"refused\"", "\"no-reply\"", "\"no-definitions\""})
        EXPECT_NE(index.find(std::string("\"status\": ") + status), std::string::npos) << status << "\n" << index;
}

TEST_F(BackupRunTest, ACancelSendsNothingMoreAndListsTheRestAsCancelled) {
    operatorPrompter.answerCredentials(Credentials{"admin", "admin"});
    run.start({device("Tank", 1), device("Pump", 2), device("Gate", 5)}, folder);
    answerLast(CommandCode::GetValuesReply, {{"Device name", "Tank"}});
    fire(BackupTimer::Settle);
    fire(BackupTimer::Spacing);
    ASSERT_EQ(host.sent.size(), 2u);
    run.cancel();  // while Pump is being read
    EXPECT_TRUE(host.running.empty());
    answerLast(CommandCode::GetValuesReply, {{"Device name", "Pump"}});  // comes too late: nothing written
    run.timerExpired(BackupTimer::Spacing);
    EXPECT_EQ(host.sent.size(), 2u);
    ASSERT_TRUE(host.finished.has_value());
    const OperationOutcomes& o = *host.finished;
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0].status, OutcomeStatus::Ok);
    for (int i : {1, 2}) {
        EXPECT_EQ(o[i].status, OutcomeStatus::Cancelled);
        EXPECT_EQ(o[i].message, "Cancelled");
    }
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files += entry.path().extension() == ".CNF";
    EXPECT_EQ(files, 1);
    EXPECT_TRUE(std::filesystem::exists(folder + "/fleet.json"));
}

}  // namespace
}  // namespace tarn
