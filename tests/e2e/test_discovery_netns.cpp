// Discovery across real interfaces, inside network namespaces this test creates (root only):
//
//   [mgr] m0 10.231.1.1 ---- r0 10.231.1.2 [rtr + device A] r1 10.231.2.1 ---- c0 10.231.2.2 [device B]
//     |   (default route via 10.231.1.2)
//     +-- n0 10.231.3.1 ---- d0 10.231.3.2 [device C]
//
// A real 255.255.255.255 broadcast from [mgr] leaves by the default route and reaches device A
// only; Quick Connect reaches device B in another subnet through the router. Probing every
// interface also finds device C on the manager's second link, and reaches it again by its MAC.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

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
        second_ = "tarn-dv2-" + tag;
        if (!ip({"netns", "add", mgr_})) GTEST_SKIP() << "network namespaces are not available here";
        created_ << mgr_;
        const QStringList setup[] = {
            {"netns", "add", rtr_},
            {"netns", "add", dev_},
            {"netns", "add", second_},
            {"link", "add", "m" + tag, "netns", mgr_, "type", "veth", "peer", "name", "r" + tag, "netns", rtr_},
            {"link", "add", "s" + tag, "netns", rtr_, "type", "veth", "peer", "name", "c" + tag, "netns", dev_},
            {"link", "add", "n" + tag, "netns", mgr_, "type", "veth", "peer", "name", "d" + tag, "netns", second_},
            {"-n", mgr_, "addr", "add", "10.231.1.1/24", "dev", "m" + tag},
            {"-n", mgr_, "addr", "add", "10.231.3.1/24", "dev", "n" + tag},
            {"-n", second_, "addr", "add", "10.231.3.2/24", "dev", "d" + tag},
            {"-n", rtr_, "addr", "add", "10.231.1.2/24", "dev", "r" + tag},
            {"-n", rtr_, "addr", "add", "10.231.2.1/24", "dev", "s" + tag},
            {"-n", dev_, "addr", "add", "10.231.2.2/24", "dev", "c" + tag},
            {"-n", mgr_, "link", "set", "lo", "up"},
            {"-n", rtr_, "link", "set", "lo", "up"},
            {"-n", dev_, "link", "set", "lo", "up"},
            {"-n", second_, "link", "set", "lo", "up"},
            {"-n", mgr_, "link", "set", "n" + tag, "up"},
            {"-n", second_, "link", "set", "d" + tag, "up"},
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
        simC_.stop();
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
                          "--listen-broadcast", "0.0.0.0", "--data-dir", dataDir()},
                         10000, "ip");
    }

    RunResult inManager(const QStringList& tarnctlArgs) {
        return runProgram("ip", QStringList{"netns", "exec", mgr_, tarnctlPath()} + tarnctlArgs);
    }

    QJsonArray probe(const QStringList& extra) {
        const auto r = inManager(QStringList{"probe", "--wait", "700", "--json"} + extra);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8())["devices"].toArray();
    }

    static QStringList names(const QJsonArray& devices) {
        QStringList out;
        for (const QJsonValue& d : devices) out << d.toObject().value("name").toString();
        out.sort();
        return out;
    }

    QString mgr_, rtr_, dev_, second_;
    QStringList created_;
    SimProcess simA_, simB_, simC_;
    QString this_dir_ = QDir::tempPath() + "/tarn-netns-XXXXXX.json";
    std::vector<std::unique_ptr<QTemporaryFile>> files_;
};

}  // namespace

TEST_F(NetnsDiscovery, BroadcastStaysInTheSubnetAndQuickConnectCrossesIt) {
    ASSERT_TRUE(startSim(simA_, rtr_, R"({"devices":[{"name":"Near","mac":"02:10:00:00:00:01","productId":74,
        "version":"1.0","form":"DA","address":"10.231.1.2"}]})"))
        << simA_.output().toStdString();
    ASSERT_TRUE(startSim(simB_, dev_, R"({"devices":[{"name":"Far","mac":"02:10:00:00:00:02","productId":75,
        "version":"1.1","form":"DB","kind":2,"address":"10.231.2.2"}]})"))
        << simB_.output().toStdString();

    const QJsonArray broadcast = probe({});  // the product's own 255.255.255.255, port 2002
    ASSERT_EQ(broadcast.size(), 1);
    EXPECT_EQ(broadcast[0].toObject().value("name").toString(), "Near");
    EXPECT_EQ(broadcast[0].toObject().value("address").toString(), "10.231.1.2");
    EXPECT_FALSE(broadcast[0].toObject().value("foundByTypedAddress").toBool());

    const QJsonArray typed = probe({"--address", "10.231.2.2"});
    ASSERT_EQ(typed.size(), 1);
    EXPECT_EQ(typed[0].toObject().value("name").toString(), "Far");
    EXPECT_EQ(typed[0].toObject().value("address").toString(), "10.231.2.2");
    EXPECT_EQ(typed[0].toObject().value("addressingKind").toInt(), 2);
    EXPECT_TRUE(typed[0].toObject().value("foundByTypedAddress").toBool());
}

TEST_F(NetnsDiscovery, EveryInterfaceFindsTheSecondSubnetAndASetReachesItByMac) {
    ASSERT_TRUE(startSim(simA_, rtr_, R"({"devices":[{"name":"Near","mac":"02:10:00:00:00:01","productId":74,
        "version":"1.1","form":"DA","address":"10.231.1.2"}]})"))
        << simA_.output().toStdString();
    ASSERT_TRUE(startSim(simC_, second_, R"({"devices":[{"name":"Second","mac":"02:10:00:00:00:03","productId":74,
        "version":"1.1","form":"DB","kind":2,"address":"10.231.3.2","params":{"Location":"Hall"}}]})"))
        << simC_.output().toStdString();

    EXPECT_EQ(names(probe({})), QStringList{"Near"});  // the option off: the default route only
    const QJsonArray all = probe({"--all-interfaces"});
    EXPECT_EQ(names(all), (QStringList{"Near", "Second"}));  // Near answered twice and is listed once

    // A set to the MAC-addressed device goes out as a broadcast on the interface it answered on.
    const QString data = scratchDataDir();
    ASSERT_FALSE(data.isEmpty());
    const QStringList device{"--mac",
                             "02:10:00:00:00:03",
                             "--all-interfaces",
                             "--id",
                             "admin",
                             "--password",
                             "admin",
                             "--data-dir",
                             data,
                             "--wait",
                             "1500"};
    const RunResult set = inManager(QStringList{"--trace", "params", "set", "Location=Second floor"} + device);
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_TRUE(set.err.contains("SetValues  rid 0x")) << set.err.toStdString();
    EXPECT_TRUE(set.err.contains("MAC 02:10:00:00:00:03  to 10.231.3.255")) << set.err.toStdString();
    EXPECT_TRUE(set.err.contains("SetValuesReply")) << set.err.toStdString();

    const RunResult get = inManager(QStringList{"params", "get", "--json"} + device);
    ASSERT_EQ(get.exitCode, 0) << get.err.toStdString();
    QString location;
    for (const QJsonValue& row : QJsonDocument::fromJson(get.out.toUtf8())["parameters"].toArray())
        if (row["name"].toString() == "Location") location = row["value"].toString();
    EXPECT_EQ(location, "Second floor");
}
