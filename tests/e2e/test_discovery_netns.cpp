// Discovery across real interfaces, inside network namespaces this test creates (root only):
//
//   [mgr] m0 10.231.1.1 ---- r0 10.231.1.2 [rtr + device A] r1 10.231.2.1 ---- c0 10.231.2.2 [device B]
//
// A real 255.255.255.255 broadcast from [mgr] reaches device A only; Quick Connect reaches device B
// in the other subnet through the router.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/sim_process.h"
#include "support/test_paths.h"

using namespace tarn::test;

namespace {

class NetnsDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to create network namespaces";
        const QString tag = QString::number(getpid() % 100000);
        mgr_ = "tarn-mgr-" + tag;
        rtr_ = "tarn-rtr-" + tag;
        dev_ = "tarn-dev-" + tag;
        if (!ip({"netns", "add", mgr_})) GTEST_SKIP() << "network namespaces are not available here";
        created_ << mgr_;
        const QStringList setup[] = {
            {"netns", "add", rtr_},
            {"netns", "add", dev_},
            {"link", "add", "m" + tag, "netns", mgr_, "type", "veth", "peer", "name", "r" + tag, "netns", rtr_},
            {"link", "add", "s" + tag, "netns", rtr_, "type", "veth", "peer", "name", "c" + tag, "netns", dev_},
            {"-n", mgr_, "addr", "add", "10.231.1.1/24", "dev", "m" + tag},
            {"-n", rtr_, "addr", "add", "10.231.1.2/24", "dev", "r" + tag},
            {"-n", rtr_, "addr", "add", "10.231.2.1/24", "dev", "s" + tag},
            {"-n", dev_, "addr", "add", "10.231.2.2/24", "dev", "c" + tag},
            {"-n", mgr_, "link", "set", "lo", "up"},
            {"-n", rtr_, "link", "set", "lo", "up"},
            {"-n", dev_, "link", "set", "lo", "up"},
            {"-n", mgr_, "link", "set", "m" + tag, "up"},
            {"-n", rtr_, "link", "set", "r" + tag, "up"},
            {"-n", rtr_, "link", "set", "s" + tag, "up"},
            {"-n", dev_, "link", "set", "c" + tag, "up"},
            {"-n", mgr_, "route", "add", "default", "via", "10.231.1.2"},
            {"-n", dev_, "route", "add", "default", "via", "10.231.2.1"},
        };
        for (const QStringList& args : setup) {
            ASSERT_TRUE(ip(args)) << "ip " << args.join(' ').toStdString();
            if (args.value(0) == "netns") created_ << args.value(2);
        }
        ASSERT_EQ(runProgram("ip", {"netns", "exec", rtr_, "sysctl", "-qw", "net.ipv4.ip_forward=1"}).exitCode, 0);
    }

    void TearDown() override {
        simA_.stop();
        simB_.stop();
        for (const QString& ns : created_) ip({"netns", "del", ns});
    }

    static bool ip(const QStringList& args) { return runProgram("ip", args).exitCode == 0; }

    bool startSim(SimProcess& sim, const QString& ns, const QString& fleetJson) {
        auto* file = new QTemporaryFile(this_dir_);
        file->open();
        file->write(fleetJson.toUtf8());
        file->flush();
        files_.emplace_back(file);
        return sim.start({"netns", "exec", ns, simPath(), "--fleet", file->fileName(), "--device-port", "2002",
                          "--listen-broadcast", "0.0.0.0"},
                         10000, "ip");
    }

    QJsonArray probe(const QStringList& extra) {
        const auto r = runProgram("ip", QStringList{"netns", "exec", mgr_, tarnctlPath(), "probe", "--wait", "700",
                                                    "--json"} + extra);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).array();
    }

    QString mgr_, rtr_, dev_;
    QStringList created_;
    SimProcess simA_, simB_;
    QString this_dir_ = QDir::tempPath() + "/tarn-netns-XXXXXX.json";
    std::vector<std::unique_ptr<QTemporaryFile>> files_;
};

}  // namespace

TEST_F(NetnsDiscovery, BroadcastStaysInTheSubnetAndQuickConnectCrossesIt) {
    ASSERT_TRUE(startSim(simA_, rtr_, R"({"devices":[{"name":"Near","mac":"02:10:00:00:00:01","productId":74,
        "version":"1.0","form":"DA","address":"10.231.1.2"}]})")) << simA_.output().toStdString();
    ASSERT_TRUE(startSim(simB_, dev_, R"({"devices":[{"name":"Far","mac":"02:10:00:00:00:02","productId":75,
        "version":"1.1","form":"DB","kind":2,"address":"10.231.2.2"}]})")) << simB_.output().toStdString();

    const QJsonArray broadcast = probe({});  // the product's own 255.255.255.255, port 2002
    ASSERT_EQ(broadcast.size(), 1);
    EXPECT_EQ(broadcast[0].toObject().value("name").toString(), "Near");
    EXPECT_EQ(broadcast[0].toObject().value("ip").toString(), "10.231.1.2");
    EXPECT_FALSE(broadcast[0].toObject().value("foundByTypedAddress").toBool());

    const QJsonArray typed = probe({"--address", "10.231.2.2"});
    ASSERT_EQ(typed.size(), 1);
    EXPECT_EQ(typed[0].toObject().value("name").toString(), "Far");
    EXPECT_EQ(typed[0].toObject().value("ip").toString(), "10.231.2.2");
    EXPECT_EQ(typed[0].toObject().value("addressingKind").toInt(), 2);
    EXPECT_TRUE(typed[0].toObject().value("foundByTypedAddress").toBool());
}
