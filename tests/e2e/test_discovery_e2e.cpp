// Discovery end to end on loopback: tarn-sim with a mixed fleet, probed by the window and by tarnctl.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "gui/app/main_frame.h"
#include "gui/discovery/input_ip_dlg.h"
#include "gui/discovery/left_view.h"
#include "support/modal.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn;
using namespace tarn::test;

namespace {

const QString kMixedFleet = sourceDir() + "/tests/e2e/fleets/mixed.json";
// Listed: everything but the unknown product; "Twice" and "Bad-Sum" once each.
constexpr int kListed = 7;

class DiscoveryE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--fleet", kMixedFleet, "--device-port", "0"})) << sim.output().toStdString();
        ASSERT_GT(sim.devicePort(), 0);
    }
    FrameState state() {
        FrameState s;
        s.devicePort = static_cast<quint16>(sim.devicePort());
        s.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
        return s;
    }
    SimProcess sim;
};

std::map<std::string, DeviceEntry> byName(DeviceTree* tree) {
    std::map<std::string, DeviceEntry> out;
    for (int i = 0; i < tree->deviceCount(); ++i) out[tree->entry(i).name] = tree->entry(i);
    return out;
}

}  // namespace

TEST_F(DiscoveryE2E, ProbeListsEveryAnsweringDeviceOnce) {
    ScriptedPrompter prompter;
    CMainFrame frame(state(), &prompter);
    frame.action(CMainFrame::ID_PROBE)->trigger();
    DeviceTree* tree = frame.leftView()->tree();
    ASSERT_TRUE(waitUntil([&] { return tree->deviceCount() == kListed; })) << tree->deviceCount();
    // Give late and duplicate replies time to arrive: still seven.
    waitUntil([] { return false; }, 600);
    EXPECT_EQ(tree->deviceCount(), kListed);

    auto devices = byName(tree);
    EXPECT_EQ(devices["Alpha-DA"].ip, "127.0.0.101");
    EXPECT_EQ(devices["Alpha-DA"].addressingKind, 1);
    EXPECT_EQ(devices["Beta-DB2"].addressingKind, 2);
    EXPECT_EQ(devices["Beta-DB2"].mac, "02:00:00:00:00:0B");
    EXPECT_EQ(devices["Gamma-DB1"].addressingKind, 1);
    EXPECT_EQ(devices["Slow"].version, "2.3");
    EXPECT_EQ(devices["Slow"].productId, "76");
    EXPECT_TRUE(devices.count("Cut"));
    EXPECT_FALSE(devices.count("Stranger"));
    for (const auto& [name, d] : devices) EXPECT_FALSE(d.foundByTypedAddress) << name;
    // The bad checksum is reported once, although the device answered twice.
    ASSERT_TRUE(waitUntil([&] { return !prompter.records().empty(); }));
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"Checksum Error!"});
    EXPECT_EQ(prompter.records().front().caption, "Error");

    // A second probe starts over.
    frame.action(CMainFrame::ID_PROBE)->trigger();
    EXPECT_EQ(tree->deviceCount(), 0);
    ASSERT_TRUE(waitUntil([&] { return tree->deviceCount() == kListed; }));
}

TEST_F(DiscoveryE2E, QuickConnectProbesOneAddressAndMarksItsDevice) {
    ScriptedPrompter prompter;
    CMainFrame frame(state(), &prompter);
    whenModal<CInputIPDlg>([](CInputIPDlg* d) {
        d->box()->setEditText(QStringLiteral("127.0.0.102"));
        d->accept();
    });
    frame.action(CMainFrame::ID_QUICK_CONNECT)->trigger();
    DeviceTree* tree = frame.leftView()->tree();
    ASSERT_TRUE(waitUntil([&] { return tree->deviceCount() == 1; }));
    waitUntil([] { return false; }, 400);
    ASSERT_EQ(tree->deviceCount(), 1);
    EXPECT_EQ(tree->entry(0).name, "Beta-DB2");
    EXPECT_TRUE(tree->entry(0).foundByTypedAddress);
    EXPECT_EQ(tree->entry(0).text(6), "Q");

    frame.action(CMainFrame::ID_PROBE)->trigger();
    ASSERT_TRUE(waitUntil([&] { return tree->deviceCount() == kListed; }));
    for (const auto& [name, d] : byName(tree)) EXPECT_FALSE(d.foundByTypedAddress) << name;
}

TEST_F(DiscoveryE2E, TarnctlPrintsTheFleetAsJson) {
    const QString port = QString::number(sim.devicePort());
    const auto r = runProgram(
        tarnctlPath(), {"probe", "--broadcast", "127.255.255.255", "--device-port", port, "--wait", "800", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray devices = QJsonDocument::fromJson(r.out.toUtf8())["devices"].toArray();
    ASSERT_EQ(devices.size(), kListed) << r.out.toStdString();
    std::map<QString, QJsonObject> seen;
    for (const auto& v : devices) seen[v.toObject().value("name").toString()] = v.toObject();
    const QJsonObject beta = seen["Beta-DB2"];
    EXPECT_EQ(beta.value("address").toString(), "127.0.0.102");
    EXPECT_EQ(beta.value("mac").toString(), "02:00:00:00:00:0B");
    EXPECT_EQ(beta.value("productId"), 75);
    EXPECT_EQ(beta.value("version").toString(), "1.1");
    EXPECT_EQ(beta.value("addressingKind").toInt(), 2);
    EXPECT_EQ(beta.value("foundByTypedAddress").toBool(), false);
    EXPECT_TRUE(r.err.contains("Checksum Error!"));

    const auto typed = runProgram(
        tarnctlPath(), {"probe", "--address", "127.0.0.106", "--device-port", port, "--wait", "300", "--json"});
    const QJsonArray one = QJsonDocument::fromJson(typed.out.toUtf8())["devices"].toArray();
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].toObject().value("name").toString(), "Cut");
    EXPECT_TRUE(one[0].toObject().value("foundByTypedAddress").toBool());
}

TEST(TarnctlProbe, BadOptionsGiveOneLineAndExitCode2) {
    for (const QStringList& args :
         {QStringList{"probe", "--address", "300.1.1.1"}, QStringList{"probe", "--wait", "x"},
          QStringList{"probe", "--device-port", "0"}, QStringList{"probe", "--nope"}, QStringList{"nonsense"}}) {
        const auto r = runProgram(tarnctlPath(), args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("tarnctl: ")) << r.err.toStdString();
    }
}

TEST(TarnctlProbe, AddressListsRangesAndBlocksAreProbedOneByOne) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--fleet", sourceDir() + "/tests/e2e/fleets/address_block.json", "--device-port", "0"}))
        << sim.output().toStdString();
    const QString port = QString::number(sim.devicePort());
    // The block's six hosts, a range and a single address; 127.0.4.20 is in none of them.
    const auto r = runProgram(tarnctlPath(), {"probe", "--address", "127.0.4.0/29, 127.0.4.9-10", "--address",
                                              "127.0.4.7", "--device-port", port, "--wait", "500", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray devices = QJsonDocument::fromJson(r.out.toUtf8())["devices"].toArray();
    QStringList ips;
    for (const auto& v : devices) {
        ips << v.toObject().value("address").toString();
        EXPECT_TRUE(v.toObject().value("foundByTypedAddress").toBool());
    }
    ips.sort();
    EXPECT_EQ(ips,
              (QStringList{"127.0.4.1", "127.0.4.2", "127.0.4.3", "127.0.4.4", "127.0.4.5", "127.0.4.6", "127.0.4.9"}))
        << r.out.toStdString();

    const auto bad = runProgram(tarnctlPath(), {"probe", "--address", "127.0.4.9-127.0.4.1"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("is not an address range")) << bad.err.toStdString();
}
