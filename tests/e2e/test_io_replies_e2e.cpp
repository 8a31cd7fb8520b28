// tarnctl io against devices whose answers are not what was asked: a device that answers every
// request with an enable-status reply, one that falls silent once in setting mode, an output that
// does not follow a switch, and a device in setting mode.
#include <gtest/gtest.h>
#include <map>

#include "support/sim_process.h"
#include "support/test_paths.h"

using namespace tarn::test;

namespace {

class IoReplies : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim = new SimProcess;
        ASSERT_TRUE(sim->start(
            {"--fleet", sourceDir() + "/tests/e2e/fleets/io_replies.json", "--device-port", "0", "--fixed-clock"}))
            << sim->output().toStdString();
        *endpoints = sim->ioEndpoints();
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    RunResult io(const QString& device, const QStringList& args) {
        const QString endpoint = endpoints->at(device);
        const int colon = static_cast<int>(endpoint.lastIndexOf(':'));
        return runProgram(tarnctlPath(),
                          QStringList{"io", "--host", endpoint.left(colon), "--port", endpoint.mid(colon + 1)} + args,
                          30000);
    }

    static SimProcess* sim;
    static std::map<QString, QString>* endpoints;
};

SimProcess* IoReplies::sim = nullptr;
std::map<QString, QString>* IoReplies::endpoints = new std::map<QString, QString>;

// Every request answered with "12": only the enable-status read takes it; nothing else reports success.
TEST_F(IoReplies, AnotherCommandsReplyIsAFailure) {
    for (const QStringList& args :
         {QStringList{"switch", "3", "on"}, QStringList{"run-mode"}, QStringList{"status"}, QStringList{"serial"}}) {
        const RunResult r = io("Twelve", args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString() << ": " << r.out.toStdString();
        EXPECT_TRUE(r.err.contains("no valid answer from the device")) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("output 3 on") || r.out.contains("run mode") || r.out.contains("outputs"))
            << r.out.toStdString();
    }
}

// A switch reports what the device's own status reply shows.
TEST_F(IoReplies, SwitchReportsTheStateTheDeviceShows) {
    ASSERT_EQ(io("Switchy", {"output", "3", "--disable"}).exitCode, 0);
    RunResult r = io("Switchy", {"switch", "3", "on"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("output 3 off (asked on; the output may be disabled)")) << r.err.toStdString();
    ASSERT_EQ(io("Switchy", {"output", "3", "--enable"}).exitCode, 0);
    r = io("Switchy", {"switch", "3", "on"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "output 3 on\n");
}

// The connection falls silent after the change to setting mode: the write times out, the link is
// connected anew (so that no late answer can pass for the next one), and on the new connection the
// device goes back to run mode; the warning says the write failed.
TEST_F(IoReplies, ASilentDeviceInSettingModeIsNamedAsSuch) {
    const RunResult r = io("Quiet", {"input", "1", "--disable"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(
        r.err.contains("WriteEnableStatus: no answer\nmessage: Warning! Enable Status Fail!\n"
                       "ChangeRunMode: result 0\n"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith("tarnctl: Warning! Setting Input port\n")) << r.err.toStdString();

    const RunResult status = io("Setting", {"status"});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_TRUE(status.err.contains("the device is in setting mode")) << status.err.toStdString();
}

// The options of the port commands are checked as the dialogs check them, before the link opens.
TEST_F(IoReplies, PortOptionsAreCheckedAsTheDialogsCheckThem) {
    for (const auto& [args, text] :
         std::vector<std::pair<QStringList, QString>>{{{"output", "2", "--macro", ""}, "Input MACRO !!"},
                                                      {{"output", "2", "--pulse", "5", "0"}, "Input Pulse Off Time !!"},
                                                      {{"output", "2", "--pulse", "0", "0"}, "Input Pulse On Time !!"},
                                                      {{"output", "2", "--delay-on", "0"}, "Input Delay On Time !!"}}) {
        const RunResult r = io("Switchy", args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err, "tarnctl: " + text + "\n");
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}

}  // namespace
