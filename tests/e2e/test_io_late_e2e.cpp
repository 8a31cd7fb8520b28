// tarnctl io against devices that answer late, an operator who stops a write half-way, and a reader
// that goes away: a late answer never passes for the next request's, a stopped write leaves the
// device in run mode and says what it wrote, and `watch | head` ends.
#include <csignal>
#include <gtest/gtest.h>
#include <map>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn::test;

namespace {

class IoLate : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim = new SimProcess;
        ASSERT_TRUE(sim->start(
            {"--fleet", sourceDir() + "/tests/e2e/fleets/io_late.json", "--device-port", "0", "--fixed-clock"}))
            << sim->output().toStdString();
        for (const QString& line : sim->lines()) {
            const QStringList parts = line.split(' ');
            if (parts.size() == 3 && parts[0] == "io")
                (*links)[parts[2]] = {"--host", parts[1].section(':', 0, 0), "--port", parts[1].section(':', 1)};
            if (parts.size() == 3 && parts[0] == "pty") (*links)[parts[2] + "/serial"] = {"--serial", parts[1]};
        }
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    static QStringList io(const QString& link, const QStringList& args) {
        return QStringList{"io"} + links->at(link) + args;
    }

    static SimProcess* sim;
    static std::map<QString, QStringList>* links;
};

SimProcess* IoLate::sim = nullptr;
std::map<QString, QStringList>* IoLate::links = new std::map<QString, QStringList>;

// A device that answers each request 3.5 s late: every poll is "no reply", over TCP (connected anew
// after each time-out) and over a serial line (drained), never the poll before's values as live.
TEST_F(IoLate, ALateAnswerNeverPassesForTheNextPoll) {
    for (const QString& link : {QStringLiteral("Late-3500"), QStringLiteral("Late-3500/serial")}) {
        if (!links->count(link)) continue;  // no pseudo-terminals here
        const RunResult r =
            runProgram(tarnctlPath(), io(link, {"watch", "--interval", "0.5", "--count", "3", "--json"}), 60000);
        EXPECT_EQ(r.exitCode, 1) << link.toStdString() << r.err.toStdString();
        const QList<QString> lines = r.out.trimmed().split('\n');
        ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
        for (const QString& line : lines)
            EXPECT_EQ(QJsonDocument::fromJson(line.toUtf8()).object().value("link").toString(), "no reply")
                << link.toStdString() << ": " << line.toStdString();
    }
}

// SIGINT in the middle of a write chain: the chain stops at the next result, the device goes back to
// run mode, the command says what it wrote and exits 130; the device then answers in run mode.
TEST_F(IoLate, AStopSignalDuringAWriteReturnsTheDeviceToRunMode) {
    QProcess run;
    run.start(tarnctlPath(), io("Late-1500", {"output", "3", "--disable", "--power-recovery", "on"}));
    QByteArray err;
    ASSERT_TRUE(
        waitUntil([&] { return (err += run.readAllStandardError()).contains("ChangeSettingMode: result 1"); }, 60000))
        << err.toStdString();
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(30000));
    err += run.readAllStandardError();
    EXPECT_EQ(run.exitCode(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains("ChangeRunMode: result 0")) << err.toStdString();
    EXPECT_TRUE(err.contains("tarnctl: stopped by SIGINT; ")) << err.toStdString();
    EXPECT_TRUE(err.endsWith("; the device was returned to run mode\n")) << err.toStdString();
    EXPECT_FALSE(err.contains("WritePowerStoppage")) << "the chain went on after the signal: " << err.toStdString();
    const RunResult status = runProgram(tarnctlPath(), io("Late-1500", {"status"}), 30000);
    EXPECT_EQ(status.exitCode, 0) << status.err.toStdString();
}

// `watch | head -3`: once nobody reads, tarnctl ends within a poll (141, as SIGPIPE would).
TEST_F(IoLate, WatchEndsWhenItsReaderIsGone) {
    QStringList command{tarnctlPath()};
    for (const QString& a : io("Prompt", {"watch", "--interval", "0.2"})) command << "'" + a + "'";
    QProcess shell;
    shell.start("bash", {"-c", command.join(' ') + " | head -3 >/dev/null; echo \"status ${PIPESTATUS[0]}\""});
    ASSERT_TRUE(shell.waitForFinished(20000)) << "still polling after its reader went away";
    EXPECT_EQ(shell.readAllStandardOutput(), "status 141\n");
}

// Options a subcommand does not take are refused (exit 2, nothing sent); --json is taken by every one.
TEST_F(IoLate, SubcommandsRefuseOptionsTheyDoNotTakeAndSpeakJson) {
    for (const QStringList& args : {QStringList{"status", "--csv", "--count", "3"}, QStringList{"serial", "--enable"},
                                    QStringList{"input", "1", "--interval", "2"}, QStringList{"run-mode", "--level"}}) {
        const RunResult r = runProgram(tarnctlPath(), io("Prompt", args));
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("tarnctl: io " + args[0] + " takes no --")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const RunResult output = runProgram(tarnctlPath(), io("Prompt", {"output", "3", "--json"}));
    EXPECT_EQ(output.exitCode, 0) << output.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(output.out.toUtf8()).object();
    EXPECT_EQ(o.value("port").toInt(), 3) << output.out.toStdString();
    EXPECT_EQ(o.value("macro"), QJsonValue(false));
    EXPECT_EQ(o.value("delayPulse").toObject().value("mode").toString(), "none");
    EXPECT_EQ(QJsonDocument::fromJson(runProgram(tarnctlPath(), io("Prompt", {"run-mode", "--json"})).out.toUtf8())
                  .object()
                  .value("mode")
                  .toString(),
              "run");
}

}  // namespace
