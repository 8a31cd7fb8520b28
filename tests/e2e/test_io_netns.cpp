// tarnctl io against routes that refuse a connection at once, inside a network namespace this test
// creates (root): no default route (the network is unreachable), and unreachable, prohibit and
// blackhole routes. The connect fails inside the call that starts it; every io path must still
// report that failure and exit 2, not wait for the connect time-out ("no connection within ...").
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/sim_process.h"
#include "support/test_paths.h"

using namespace tarn::test;

namespace {

class NetnsIo : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to create network namespaces";
        ns_ = "tarn-io-" + QString::number(getpid() % 100000);
        if (!ip({"netns", "add", ns_})) GTEST_SKIP() << "network namespaces are not available here";
        created_ = true;
        for (const QStringList& args : {QStringList{"-n", ns_, "link", "set", "lo", "up"},
                                        QStringList{"-n", ns_, "route", "add", "unreachable", "10.232.1.0/24"},
                                        QStringList{"-n", ns_, "route", "add", "prohibit", "10.232.2.0/24"},
                                        QStringList{"-n", ns_, "route", "add", "blackhole", "10.232.3.0/24"}})
            ASSERT_TRUE(ip(args)) << "ip " << args.join(' ').toStdString();
    }
    void TearDown() override {
        if (created_) ip({"netns", "del", ns_});
    }
    static bool ip(const QStringList& args) { return runProgram("ip", args).exitCode == 0; }

    QString ns_;
    bool created_ = false;
};

TEST_F(NetnsIo, ALinkThatFailsAtOnceExitsTwoOnEveryPath) {
    const QStringList hosts = {"10.232.9.1", "10.232.1.1", "10.232.2.1", "10.232.3.1"};
    const QStringList commands[] = {{"status"},   {"switch", "3", "on"}, {"config"},      {"serial"},
                                    {"run-mode"}, {"setting-mode"},      {"output", "2"}, {"input", "1"},
                                    {"adc", "1"}, {"status", "--json"}};
    for (const QString& host : hosts) {
        for (const QStringList& command : commands) {
            const RunResult r = runProgram(
                "ip", QStringList{"netns", "exec", ns_, tarnctlPath(), "io", "--host", host, "--port", "502"} + command,
                20000);
            const std::string what = (host + ' ' + command.join(' ')).toStdString();
            EXPECT_EQ(r.exitCode, 2) << what << ": " << r.err.toStdString();
            EXPECT_FALSE(r.err.contains("no connection within")) << what << ": " << r.err.toStdString();
            EXPECT_TRUE(r.err.contains("cannot connect to " + host + ":502: ")) << what << ": " << r.err.toStdString();
        }
    }
}

}  // namespace
