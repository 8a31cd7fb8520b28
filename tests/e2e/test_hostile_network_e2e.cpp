// tarnctl on a network with hostile hosts, each on a loopback address of its own: a forger that
// answers every management request first, from its own address, with the request's id (a get with
// other values, a set as done); and a spoofer that answers the probe with a real device's MAC.
// Nothing they send is taken, and no request, credentials included, goes to a host that was not asked.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

constexpr const char* kReal = "127.0.29.5";     // Real-5, answered first by the forger at 127.0.29.66
constexpr const char* kRefuser = "127.0.29.6";  // refuses every set; the forger says it was done
constexpr const char* kPump = "127.0.29.7";     // its MAC is claimed by the spoofer at 127.0.29.77
constexpr const char* kPumpMac = "02:00:00:00:29:07";

class HostileNetwork : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = new SimProcess;
        ASSERT_TRUE(sim_->start({"--fleet", sourceDir() + "/tests/e2e/fleets/hostile.json", "--device-port", "0",
                                 "--data-dir", dataDir(), "--fixed-clock"}))
            << sim_->output().toStdString();
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override { data_ = scratchDataDir(); }

    // tarnctl --trace COMMAND with the simulator's port, the scratch data folder and admin/admin.
    RunResult ctl(const QStringList& command) {
        return runProgram(tarnctlPath(), QStringList{"--trace"} + command +
                                             QStringList{"--device-port", QString::number(sim_->devicePort()),
                                                         "--data-dir", data_, "--id", "admin", "--password", "admin"});
    }
    static QStringList broadcast() { return {"--broadcast", "127.255.255.255", "--wait", "700"}; }

    static SimProcess* sim_;
    QString data_;
};

SimProcess* HostileNetwork::sim_ = nullptr;

// Lines of the trace that sent a management request (not the probe) to anyone.
int requestsSent(const QString& trace, const QString& to = {}) {
    static const QRegularExpression sent(R"(\bsent\s+(\S+):\d+\s+\d+\s+(GetValues|SetValues|Reboot)\b)");
    int n = 0;
    for (auto it = sent.globalMatch(trace); it.hasNext();) {
        const auto m = it.next();
        n += to.isEmpty() || m.captured(1) == to ? 1 : 0;
    }
    return n;
}

TEST_F(HostileNetwork, ForgedRepliesFromAThirdAddressAreIgnoredAndTheDevicesOwnCount) {
    const RunResult get = ctl({"params", "get", "--json", "--address", kReal});
    ASSERT_EQ(get.exitCode, 0) << get.err.toStdString();
    QJsonObject byName;
    for (const QJsonValue& row : QJsonDocument::fromJson(get.out.toUtf8())["parameters"].toArray())
        byName[row["name"].toString()] = row["value"];
    EXPECT_EQ(byName["Device name"].toString(), "Real-5");
    EXPECT_EQ(byName["IP address"].toString(), kReal);
    EXPECT_TRUE(get.err.contains("ignored (not from the address the request went to): GetValuesReply"))
        << get.err.toStdString();

    // The device refuses the set; the forger's "set done" before the refusal changes nothing.
    const RunResult set = ctl({"params", "set", "Location=Forged", "--address", kRefuser});
    EXPECT_EQ(set.exitCode, 1) << set.err.toStdString();
    EXPECT_TRUE(set.err.contains("refused the ID or password")) << set.err.toStdString();
    EXPECT_TRUE(set.err.contains("ignored (not from the address the request went to): SetValuesReply"))
        << set.err.toStdString();

    // A backup keeps what the device said, not what the forger said.
    const QString folder = data_ + "/backup";
    const RunResult backup = ctl(QStringList{"fleet", "backup", folder, "--name", "Real-5"} + broadcast());
    ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
    QFile cnf(folder + "/02-00-00-00-29-05.CNF");
    ASSERT_TRUE(cnf.open(QIODevice::ReadOnly));
    const QByteArray saved = cnf.readAll();
    EXPECT_TRUE(saved.contains("Real-5")) << saved.toStdString();
    EXPECT_FALSE(saved.contains("EVIL-5"));
    EXPECT_FALSE(saved.contains("10.66.66.66"));
}

TEST_F(HostileNetwork, AMacThatTwoAddressesClaimGetsNoRequestUntilTheAddressIsNamed) {
    const RunResult probe =
        runProgram(tarnctlPath(),
                   QStringList{"probe", "--json", "--device-port", QString::number(sim_->devicePort())} + broadcast());
    ASSERT_EQ(probe.exitCode, 0) << probe.err.toStdString();
    int listed = 0;
    for (const QJsonValue& d : QJsonDocument::fromJson(probe.out.toUtf8())["devices"].toArray()) {
        if (d["mac"].toString() != kPumpMac) continue;
        ++listed;
        const QStringList both{d["address"].toString(), d["conflictAddress"].toString()};
        EXPECT_TRUE(both.contains(kPump) && both.contains("127.0.29.77")) << both.join(' ').toStdString();
    }
    EXPECT_EQ(listed, 1);

    for (const QStringList& command : {QStringList{"params", "get"}, QStringList{"reboot"}}) {
        const RunResult byMac = ctl(command + QStringList{"--mac", kPumpMac} + broadcast());
        EXPECT_EQ(byMac.exitCode, 1) << byMac.err.toStdString();
        EXPECT_TRUE(byMac.err.contains("answered from two addresses")) << byMac.err.toStdString();
        EXPECT_EQ(requestsSent(byMac.err), 0) << byMac.err.toStdString();
    }
    const RunResult fleet = ctl(QStringList{"fleet", "backup", data_ + "/b", "--mac", kPumpMac} + broadcast());
    EXPECT_EQ(fleet.exitCode, 1) << fleet.err.toStdString();
    EXPECT_TRUE(fleet.out.contains("duplicate")) << fleet.out.toStdString();
    EXPECT_EQ(requestsSent(fleet.err), 0) << fleet.err.toStdString();

    // Named by its address, the device is asked there and nowhere else.
    const RunResult byAddress = ctl({"params", "get", "--address", kPump});
    EXPECT_EQ(byAddress.exitCode, 0) << byAddress.err.toStdString();
    EXPECT_GT(requestsSent(byAddress.err, kPump), 0);
    EXPECT_EQ(requestsSent(byAddress.err), requestsSent(byAddress.err, kPump));
}

TEST_F(HostileNetwork, AProbeKeepsAtMostMaxDevicesAndSaysHowManyRepliesItIgnored) {
    const RunResult probe = runProgram(
        tarnctlPath(),
        QStringList{"probe", "--json", "--max-devices", "1", "--device-port", QString::number(sim_->devicePort())} +
            broadcast());
    ASSERT_EQ(probe.exitCode, 0) << probe.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(probe.out.toUtf8())["devices"].toArray().size(), 1);
    EXPECT_TRUE(QRegularExpression(R"(tarnctl: [23] more replies were ignored: more than 1 devices answered)")
                    .match(probe.err)
                    .hasMatch())
        << probe.err.toStdString();
}

}  // namespace
}  // namespace tarn::test
