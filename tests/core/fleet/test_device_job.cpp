// The device job without a socket or a widget: one outcome per requested device, each once its
// follow-ups are over (no settling timer), the operator asked once, the spacing kept, a cancel that
// lets the device in flight finish, and an apply that sends only what differs.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "core/fleet/device_job.h"
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

class FakeHost : public DeviceJobHost {
public:
    std::vector<Sent> sent;
    std::map<JobTimer, int> running;
    std::vector<std::string> finishedDevices;  // name and status, in the order reported
    std::optional<OperationOutcomes> finished;
    std::string indexError;

    bool onLocalSubnet(const std::string&) const override { return true; }
    bool sendDatagram(const Bytes& d, const std::string& address) override {
        sent.push_back({d, address});
        return true;
    }
    void startTimer(JobTimer t, int ms) override { running[t] = ms; }
    void stopTimer(JobTimer t) override { running.erase(t); }
    void jobProgress(int, int, const std::string&) override {}
    void deviceFinished(const DeviceResult& r) override {
        finishedDevices.push_back(r.outcome.device.name + " " + std::string(statusName(r.outcome.status)));
    }
    void jobFinished(const OperationOutcomes& outcomes, const std::string& error) override {
        EXPECT_FALSE(finished.has_value()) << "finished twice";
        finished = outcomes;
        indexError = error;
    }
};

DeviceEntry device(const std::string& name, int n, const std::string& productId = "74") {
    DeviceEntry e;
    e.name = name;
    e.ip = "127.0.0." + std::to_string(n);
    e.mac = "00:50:C2:00:00:" + std::to_string(10 + n);
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

class DeviceJobTest : public ::testing::Test {
protected:
    DeviceJobTest()
        : folder(test::scratchDir().toStdString()),
          store(std::make_shared<DefinitionStore>()),
          job(host, operatorPrompter,
              SessionSettings{
                  test::dataDir().toStdString() + "/", folder + "/pwd.ini", 100, 3000, store, nullptr, {}}) {}

    void fire(JobTimer t) {
        ASSERT_TRUE(host.running.count(t)) << static_cast<int>(t);
        host.running.erase(t);
        job.timerExpired(t);
    }
    // The device answers the last request sent: with its values (for a get), or with `code`.
    void answerLast(CommandCode code, const std::map<std::string, std::string>& values = {}) {
        answerLast(job, code, values);
    }
    void answerLast(DeviceJob& to, CommandCode code, const std::map<std::string, std::string>& values) {
        const ByteOrder order = ByteOrder::Big;  // product 74
        const auto head = parseReplyHeader(host.sent.back().bytes, order);
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
        to.handleDatagram(buildRequest(a, code, body, order, readU16(head->requestId.data(), order))->bytes);
    }
    // The requests read as replies: their code is the command.
    CommandCode lastCommand() const {
        const auto head = parseReplyHeader(host.sent.back().bytes, ByteOrder::Big);
        return static_cast<CommandCode>(head ? head->code : 0);
    }

    std::string folder;
    FakeHost host;
    test::ScriptedPrompter operatorPrompter;
    std::shared_ptr<DefinitionStore> store;
    DeviceJob job;
};

TEST_F(DeviceJobTest, ABackupReportsEveryRequestedDeviceOnceAndWritesTheIndexWhole) {
    operatorPrompter.answerCredentials(Credentials{"admin", "admin"});
    JobRequest request;
    request.kind = JobKind::Backup;
    request.folder = folder;
    request.selection.devices = {device("Tank", 1), device("Grumpy", 2), device("Silent", 3), device("Alien", 4, "99")};
    DeviceEntry twin = device("Twin", 5);
    request.selection.unreached = {{twin, {}, OutcomeStatus::Duplicate, "two devices answer with this MAC", {}},
                                   {DeviceEntry{}, {}, OutcomeStatus::NoReply, "No reply", {}}};
    operatorPrompter.holdNextQuestion();  // the window answers later, from its event loop
    job.start(request);
    // The untouched devices are reported at once; the first device pwd.ini does not know asks the
    // operator, and the answer serves the others.
    EXPECT_EQ(host.finishedDevices, (std::vector<std::string>{"Twin duplicate", " no-reply"}));
    EXPECT_TRUE(host.sent.empty());
    ASSERT_TRUE(operatorPrompter.answerHeld());
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].address, "127.0.0.1");
    answerLast(CommandCode::GetValuesReply, {{"Device name", "Tank"}, {"Location", "Roof 7"}});
    // Over with its reply; the next device waits for the spacing from Tank's start, nothing else.
    EXPECT_EQ(host.finishedDevices.back(), "Tank ok");
    EXPECT_EQ(host.running.count(JobTimer::SessionReplyWait), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder + "/pwd.ini"));  // written once, at the end
    EXPECT_EQ(host.sent.size(), 1u);
    fire(JobTimer::Spacing);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1].address, "127.0.0.2");
    fire(JobTimer::Spacing);  // the spacing runs out while Grumpy is read: Grumpy is not over yet
    EXPECT_EQ(host.finishedDevices.size(), 3u);
    // Refused: the session asks again; the job does not ask the operator twice; the device is over
    // only once that follow-up is.
    answerLast(CommandCode::AuthFailed);
    EXPECT_EQ(host.finishedDevices.back(), "Grumpy refused");
    ASSERT_EQ(host.sent.size(), 3u);  // Silent started at once: its spacing was over
    fire(JobTimer::SessionReplyWait);
    fire(JobTimer::Spacing);  // Alien: no definitions for product 99, nothing is sent
    EXPECT_EQ(host.sent.size(), 3u);

    ASSERT_TRUE(host.finished.has_value());
    EXPECT_FALSE(job.running());
    EXPECT_EQ(host.indexError, "");
    const OperationOutcomes& o = *host.finished;
    ASSERT_EQ(o.size(), 6u);
    const std::vector<OutcomeStatus> expected{OutcomeStatus::Duplicate, OutcomeStatus::NoReply,
                                              OutcomeStatus::Ok,        OutcomeStatus::Refused,
                                              OutcomeStatus::NoReply,   OutcomeStatus::NoDefinitions};
    for (std::size_t i = 0; i < o.size(); ++i) {
        EXPECT_EQ(o[i].status, expected[i]) << i << " " << o[i].message;
        EXPECT_EQ(o[i].operation, "Back up");
    }
    EXPECT_EQ(o[2].file, "00-50-C2-00-00-11.CNF");
    EXPECT_EQ(o[3].message, "Error occured. Try again !!");
    EXPECT_EQ(operatorPrompter.records().size(), 1u);
    EXPECT_EQ(operatorPrompter.records().front().text, "[ Tank ]");

    const std::string cnf = readFile(folder + "/00-50-C2-00-00-11.CNF");
    EXPECT_EQ(cnf.rfind("1 \t 74 \t 1.1 \n[0]\t Tank\n[1]\t Roof_7\n", 0), 0u) << cnf.substr(0, 60);
    EXPECT_FALSE(std::filesystem::exists(folder + "/00-50-C2-00-00-12.CNF"));
    EXPECT_NE(readFile(folder + "/pwd.ini").find("MAC : 00:50:C2:00:00:11 \nID : admin"), std::string::npos);
    const std::string index = readFile(folder + "/fleet.json");
    for (const char* status : {"\"ok\"", "\"refused\"", "\"no-reply\"", "\"no-definitions\"", "\"duplicate\""})
        EXPECT_NE(index.find(std::string("\"status\": ") + status), std::string::npos) << status << "\n" << index;
}

TEST_F(DeviceJobTest, ACancelLetsTheDeviceInFlightFinishAndCancelsTheRest) {
    operatorPrompter.answerCredentials(Credentials{"admin", "admin"});
    JobRequest request;
    request.kind = JobKind::Backup;
    request.folder = folder;
    request.selection.devices = {device("Tank", 1), device("Pump", 2), device("Gate", 5)};
    job.start(request);
    answerLast(CommandCode::GetValuesReply, {{"Device name", "Tank"}});
    fire(JobTimer::Spacing);
    ASSERT_EQ(host.sent.size(), 2u);
    job.cancel();  // while Pump is read
    EXPECT_TRUE(job.running());
    EXPECT_FALSE(host.finished.has_value());
    answerLast(CommandCode::GetValuesReply, {{"Device name", "Pump"}});
    EXPECT_EQ(host.sent.size(), 2u);
    ASSERT_TRUE(host.finished.has_value());
    const OperationOutcomes& o = *host.finished;
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0].status, OutcomeStatus::Ok);
    EXPECT_EQ(o[1].status, OutcomeStatus::Ok);
    EXPECT_EQ(o[2].status, OutcomeStatus::Cancelled);
    EXPECT_EQ(o[2].message, "Cancelled");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::string>{"00-50-C2-00-00-11.CNF", "00-50-C2-00-00-12.CNF", "fleet.json", "pwd.ini"}));

    // Stopped before it started (while the devices were probed): no device is touched.
    host.finished.reset();
    job.cancel();
    request.folder = test::scratchDir().toStdString();
    job.start(request);
    EXPECT_EQ(host.sent.size(), 2u);
    ASSERT_TRUE(host.finished.has_value());
    ASSERT_EQ(host.finished->size(), 3u);
    for (const DeviceOutcome& outcome : *host.finished) EXPECT_EQ(outcome.status, OutcomeStatus::Cancelled);
}

// Per-device values: a shared name is refused for that device alone, a value the device holds is not
// sent, the set is followed by the reboot asked for, and a dry run sends no set.
TEST_F(DeviceJobTest, ASetSendsOnlyWhatDiffersToTheDevicesThatCanTakeIt) {
    operatorPrompter.answerCredentials(Credentials{"admin", "admin"});
    JobRequest request;
    request.kind = JobKind::Set;
    request.spacingMs = 0;
    request.reboot = true;
    request.selection.devices = {device("Tank", 1), device("Pump", 2), device("Gate", 3), device("Idle", 4)};
    request.values = {{"00-50-c2-00-00-11", {{"Location", "Roof 8"}, {"3.1.7", "4"}}},
                      {"00:50:C2:00:00:12", {{"Input mode", "Counter"}}},
                      {"00:50:C2:00:00:13", {{"Location", "Yard"}}}};
    job.start(request);
    answerLast(CommandCode::GetValuesReply, {{"Location", "Roof 7"}, {"Max connections", "4"}});
    ASSERT_EQ(lastCommand(), CommandCode::SetValues);
    answerLast(CommandCode::SetValuesReply);
    ASSERT_EQ(lastCommand(), CommandCode::Reboot);
    EXPECT_EQ(host.finishedDevices.size(), 0u);  // over only once the reboot is
    answerLast(CommandCode::RebootDone);
    answerLast(CommandCode::GetValuesReply, {});                      // Pump
    answerLast(CommandCode::GetValuesReply, {{"Location", "Yard"}});  // Gate: nothing differs
    ASSERT_TRUE(host.finished.has_value());
    const OperationOutcomes& o = *host.finished;
    ASSERT_EQ(o.size(), 4u);
    EXPECT_EQ(o[0].message, "set 1 row, rebooted");
    EXPECT_EQ(o[1].status, OutcomeStatus::Failed);
    EXPECT_EQ(o[1].message.rfind("'Input mode' names 12 rows; give the id of the one to set: 4.1.1, 4.2.1", 0), 0u)
        << o[1].message;
    EXPECT_EQ(o[2].status, OutcomeStatus::Ok);
    EXPECT_EQ(o[2].message, "no row differs");
    EXPECT_EQ(o[3].status, OutcomeStatus::Skipped);
    EXPECT_EQ(std::count_if(host.sent.begin(), host.sent.end(),
                            [](const Sent& s) { return s.bytes.size() > 20 && s.address != "127.0.0.1"; }),
              2);  // Pump and Gate were only read

    DeviceJob dry(
        host, operatorPrompter,
        SessionSettings{test::dataDir().toStdString() + "/", folder + "/pwd.ini", 100, 3000, store, nullptr, {}});
    host.finished.reset();
    request.dryRun = true;
    request.selection.devices = {device("Tank", 1)};
    dry.start(request);
    const std::size_t before = host.sent.size();
    answerLast(dry, CommandCode::GetValuesReply, {{"Location", "Roof 7"}});
    EXPECT_EQ(host.sent.size(), before);
    ASSERT_TRUE(host.finished.has_value());
    EXPECT_EQ(host.finished->front().message, "2 rows differ: Location, Max connections");

    // A reboot alone reads nothing first; the device is over with its answer.
    host.finished.reset();
    JobRequest reboot;
    reboot.kind = JobKind::Reboot;
    reboot.selection.devices = {device("Tank", 1)};
    dry.start(reboot);
    ASSERT_EQ(lastCommand(), CommandCode::Reboot);
    EXPECT_FALSE(host.finished.has_value());
    answerLast(dry, CommandCode::RebootDone, {});
    ASSERT_TRUE(host.finished.has_value());
    EXPECT_EQ(host.finished->front().status, OutcomeStatus::Ok);
    EXPECT_EQ(host.finished->front().operation, "Reboot");
}

}  // namespace
}  // namespace tarn
