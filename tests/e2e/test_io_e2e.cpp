// The I/O link end to end: CCommProcess and tarnctl against tarn-sim over loopback TCP and over
// pseudo-terminals, with the simulator's fault knobs.
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include "core/iolink/io_commands.h"
#include "link/iolink/comm_process.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"
#include "tarn-sim/io/sim_io_motion.h"

using namespace tarn;
using namespace tarn::test;

namespace {

const QString kIoFleet = sourceDir() + "/tests/e2e/fleets/io.json";
// Short enough to keep the suite quick, long enough for a loaded machine.
constexpr int kTimeoutMs = 500;

struct Endpoint {
    QString host;
    int port = 0;
};

class IoE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim = new SimProcess;
        ASSERT_TRUE(sim->start({"--fleet", kIoFleet, "--device-port", "0", "--fixed-clock"}))
            << sim->output().toStdString();
        for (const QString& line : sim->lines()) {
            const QStringList parts = line.split(' ');
            if (parts.size() != 3) continue;
            if (parts[0] == "io") {
                const int colon = static_cast<int>(parts[1].lastIndexOf(':'));
                (*io)[parts[2]] = {parts[1].left(colon), parts[1].mid(colon + 1).toInt()};
            } else if (parts[0] == "pty") {
                (*pty)[parts[2]] = parts[1];
            }
        }
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override { ASSERT_EQ(io->size(), 14u) << sim->output().toStdString(); }

    // Connects `engine` to the named device's TCP port.
    void connectTo(CCommProcess& engine, const QString& name) {
        const Endpoint e = io->at(name);
        bool done = false, ok = false;
        QObject::connect(&engine, &CCommProcess::linkOpened, [&] { done = ok = true; });
        QObject::connect(&engine, &CCommProcess::openFailed, [&] { done = true; });
        ASSERT_TRUE(engine.ConnectNetwork(e.host, e.port));
        ASSERT_TRUE(waitUntil([&] { return done; }));
        ASSERT_TRUE(ok) << name.toStdString() << ": " << engine.errorString().toStdString();
    }

    static QStringList ioArgs(const QString& name, const QStringList& args) {
        const Endpoint e = io->at(name);
        return QStringList{"io", "--host", e.host, "--port", QString::number(e.port)} + args;
    }
    RunResult tarnctl(const QString& name, QStringList args) { return runProgram(tarnctlPath(), ioArgs(name, args)); }

    static SimProcess* sim;
    static std::map<QString, Endpoint>* io;
    static std::map<QString, QString>* pty;
};

SimProcess* IoE2E::sim = nullptr;
std::map<QString, Endpoint>* IoE2E::io = new std::map<QString, Endpoint>;
std::map<QString, QString>* IoE2E::pty = new std::map<QString, QString>;

struct Results {
    std::vector<std::pair<int, int>> list;
    int linkLost = 0;
    explicit Results(CCommProcess& e) {
        QObject::connect(&e, &CCommProcess::ioResult, [this](int i, int r) { list.emplace_back(i, r); });
        QObject::connect(&e, &CCommProcess::ioLinkLost, [this] { ++linkLost; });
    }
};

TEST_F(IoE2E, MonitorStyleChainOverTcp) {
    CCommProcess engine(nullptr, nullptr, kTimeoutMs);
    Results r(engine);
    // As the monitor does: connect and read the configuration at once, then the status; each next
    // request from the handler. The first request waits for the connection.
    QObject::connect(&engine, &CCommProcess::ioResult, &engine, [&](int index, int result) {
        if (index == IoCommand::ReadEnableStatus && result == '0') engine.ReadStatus();
        if (index == IoCommand::ReadStatus && r.list.size() == 2) engine.SwitchOutput(10, 0);
    });
    const Endpoint e = io->at("Plain");
    ASSERT_TRUE(engine.ConnectNetwork(e.host, e.port));
    engine.ReadEnableStatus();
    ASSERT_TRUE(waitUntil([&] { return r.list.size() == 3; }));
    EXPECT_EQ(r.list, (std::vector<std::pair<int, int>>{{13, '0'}, {0, '0'}, {0, '0'}}));
    const IoStatus& s = engine.status();
    EXPECT_EQ(s.output[1], PortStateCode::On);
    EXPECT_EQ(s.output[9], PortStateCode::On);
    EXPECT_EQ(s.output[0], PortStateCode::Off);
    EXPECT_EQ(s.input[0], PortStateCode::On);
    EXPECT_EQ(s.input[1], PortStateCode::Off);
    EXPECT_EQ(s.adc[3], (IoAdcState{PortStateCode::OnWithLevel, "1023"}));
    const IoConfig& c = engine.config();
    EXPECT_EQ(c.outputEnable, (std::array<std::uint8_t, 10>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    engine.SwitchOutput(10, 1);  // leave the shared device as it was
    ASSERT_TRUE(waitUntil([&] { return r.list.size() == 4; }));
    engine.Disconnect();
}

TEST_F(IoE2E, FaultsOverTcp) {
    struct Case {
        const char* device;
        int expected;
    };
    // NAKed once: retransmitted and answered. Four NAKs, bad checksum, silence and a late reply: failed.
    // Split into bytes behind noise, and duplicated: one good result.
    for (const Case& k : {Case{"Nak-Once", '0'}, Case{"Nak-Four", 0}, Case{"Split-Noisy", '0'}, Case{"Bad-Sum", 0},
                          Case{"Silent", 0}, Case{"Late", 0}, Case{"Twice", '0'}}) {
        SCOPED_TRACE(k.device);
        CCommProcess engine(nullptr, nullptr, kTimeoutMs);
        Results r(engine);
        connectTo(engine, k.device);
        engine.QueueRequest(IoRequests::ReadAdcLevel());
        engine.ReadPowerStoppage();
        ASSERT_TRUE(waitUntil([&] { return r.list.size() == 2; }, 4 * kTimeoutMs + 2000));
        EXPECT_EQ(r.list[0], (std::pair<int, int>{12, k.expected}));
        EXPECT_EQ(r.list[1], (std::pair<int, int>{14, k.expected}));
        // Late and duplicate replies never produce a second result for a request.
        waitUntil([] { return false; }, k.device == QLatin1String("Late") ? 1600 : 100);
        EXPECT_EQ(r.list.size(), 2u);
        EXPECT_EQ(r.linkLost, 0);
    }
}

// The reply time-out is 3000 ms from the send and never fires early. The requests go out 120 to 135
// ms past a whole second of the monotonic clock, where a coarse timer would wake on that second,
// up to 150 ms early: a reply at 2.9 s then failed, and silence was reported at 2.87 s.
TEST_F(IoE2E, TheReplyTimeOutNeverFiresEarly) {
    CCommProcess late(nullptr, nullptr, kReplyTimeoutMs);
    CCommProcess silent(nullptr, nullptr, kReplyTimeoutMs);
    connectTo(late, "Late-2900");
    connectTo(silent, "Silent");
    std::optional<int> lateResult, silentResult;
    qint64 lateMs = 0, silentMs = 0;
    QElapsedTimer clock;
    QObject::connect(&late, &CCommProcess::ioResult, [&](int, int r) {
        lateResult = r;
        lateMs = clock.elapsed();
    });
    QObject::connect(&silent, &CCommProcess::ioResult, [&](int, int r) {
        silentResult = r;
        silentMs = clock.elapsed();
    });
    const auto phaseMs = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() % 1000;
    };
    ASSERT_TRUE(waitUntil([&] { return phaseMs() >= 120 && phaseMs() <= 135; }, 3000));
    clock.start();
    late.ReadStatus();
    silent.ReadStatus();
    ASSERT_TRUE(waitUntil([&] { return lateResult && silentResult; }, 6000));
    EXPECT_EQ(*lateResult, '0');
    EXPECT_GE(lateMs, 2900);
    EXPECT_EQ(*silentResult, kIoResultFailed);
    EXPECT_GE(silentMs, kReplyTimeoutMs);
}

TEST_F(IoE2E, DeviceClosingTheConnectionIsOneLinkLost) {
    CCommProcess engine(nullptr, nullptr, kTimeoutMs);
    Results r(engine);
    connectTo(engine, "Closer");
    engine.ReadSerialFirmware();
    engine.ReadSerialFirmware();
    // The second request was in flight when the device closed: it still gets its one result.
    ASSERT_TRUE(waitUntil([&] { return r.linkLost > 0 && r.list.size() == 2; }));
    waitUntil([] { return false; }, 2 * kTimeoutMs);
    EXPECT_EQ(r.linkLost, 1);
    EXPECT_EQ(r.list, (std::vector<std::pair<int, int>>{{15, '1'}, {15, 0}}));  // no serial number set; lost
    engine.Disconnect();
    connectTo(engine, "Closer");  // a new connection is answered again
    engine.ChangeRunMode();
    ASSERT_TRUE(waitUntil([&] { return r.list.size() == 3; }));
    EXPECT_EQ(r.list.back(), (std::pair<int, int>{3, '0'}));
}

TEST_F(IoE2E, SerialLinkOverAPseudoTerminalWithNaksAndSplitReplies) {
    if (!pty->count("Serial-Nak")) GTEST_SKIP() << "no pseudo-terminal from tarn-sim";
    ::setenv("TARN_COM5", pty->at("Serial-Nak").toLocal8Bit().constData(), 1);
    ScriptedPrompter prompter;
    CCommProcess engine(&prompter, nullptr, 2000);
    Results r(engine);
    bool opened = false;
    QObject::connect(&engine, &CCommProcess::linkOpened, [&] { opened = true; });
    ASSERT_TRUE(engine.OpenSerial(5, 9600, QStringLiteral("n"), 8, 1));
    const bool waited = waitUntil([&] { return opened || engine.errorString().size() > 0; });
    ::unsetenv("TARN_COM5");
    ASSERT_TRUE(waited && opened) << engine.errorString().toStdString();
    EXPECT_TRUE(prompter.records().empty());
    engine.ReadSerialFirmware();
    engine.ChangeSettingMode();
    engine.ChangeRunMode();
    ASSERT_TRUE(waitUntil([&] { return r.list.size() == 3; }, 8000));
    EXPECT_EQ(r.list, (std::vector<std::pair<int, int>>{{15, '0'}, {2, '1'}, {3, '0'}}));
    const IoConfig& c = engine.config();
    EXPECT_EQ(c.serialNumber, "TARN-IO-000000210");
    EXPECT_EQ(c.firmwareVersion, "2.00    ");
    engine.Disconnect();
}

TEST_F(IoE2E, TarnctlOverTcpAndSerial) {
    RunResult st = tarnctl("Plain", {"status", "--json"});
    ASSERT_EQ(st.exitCode, 0) << st.err.toStdString();
    EXPECT_EQ(st.out.trimmed().toStdString(),
              "{\"adc\":[{\"code\":1,\"value\":512},{\"code\":1,\"value\":0},"
              "{\"code\":1,\"value\":7},{\"code\":1,\"value\":1023}],"
              "\"config\":{\"adcMode\":[0,0,0,0],\"inputEnable\":[1,1,1,1,1,1,1,1,1,1,1,1],"
              "\"outputEnable\":[1,1,1,1,1,1,1,1,1,1],\"reference\":0},"
              "\"inputs\":[0,2,2,2,2,2,2,2,2,2,2,0],\"outputs\":[2,0,2,2,2,2,2,2,2,2],\"schema\":2}");

    RunResult sn =
        runProgram(tarnctlPath(), {"io", "--serial", pty->at("Plain"), "--baud", "19200", "serial", "--json"});
    ASSERT_EQ(sn.exitCode, 0) << sn.err.toStdString();
    EXPECT_EQ(sn.out.trimmed(),
              QStringLiteral("{\"schema\":2,\"serialNumber\":\"TARN-IO-000000201\",\"version\":\"1.05\"}"));

    // Over TCP too; a device without a serial number says so, not a bare result code.
    RunResult tcpSn = tarnctl("Plain", {"serial"});
    EXPECT_EQ(tcpSn.out, QStringLiteral("serial number    TARN-IO-000000201\nfirmware version 1.05    \n"));
    RunResult noSn = tarnctl("Nak-Once", {"serial"});
    EXPECT_EQ(noSn.exitCode, 1);
    EXPECT_EQ(noSn.err, QStringLiteral("tarnctl: the device has no serial number set\n"));

    RunResult cfg = tarnctl("Split-Noisy", {"config", "--json"});
    ASSERT_EQ(cfg.exitCode, 0) << cfg.err.toStdString();
    EXPECT_EQ(cfg.out.trimmed(),
              QStringLiteral("{\"adcMode\":[0,0,0,0],\"inputEnable\":[1,1,1,1,1,1,1,1,1,1,1,1],"
                             "\"outputEnable\":[1,1,1,1,1,1,1,1,1,1],"
                             "\"powerStoppage\":[0,0,0,0,0,0,0,0,0,0],\"reference\":0,\"schema\":2}"));

    // Setting mode: a status read answers "1", which tarnctl reports and exits 1 on.
    EXPECT_EQ(tarnctl("Nak-Once", {"setting-mode"}).exitCode, 0);
    RunResult busy = tarnctl("Nak-Once", {"switch", "3", "on"});
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_EQ(busy.err, QStringLiteral("tarnctl: the device is in setting mode\n"));
    EXPECT_EQ(tarnctl("Nak-Once", {"run-mode"}).exitCode, 0);
    RunResult sw = tarnctl("Nak-Once", {"switch", "3", "on"});
    EXPECT_EQ(sw.exitCode, 0) << sw.err.toStdString();

    // Link failures: one line, exit 2.
    // The configuration read gets the one reply; the connection then closes before the status.
    RunResult lost = tarnctl("Closer", {"status"});
    EXPECT_EQ(lost.exitCode, 2);
    EXPECT_TRUE(lost.err.startsWith(QLatin1String("tarnctl: link lost"))) << lost.err.toStdString();
    RunResult refused = runProgram(tarnctlPath(), {"io", "--host", "127.0.0.201", "--port", "1", "status"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err.trimmed().count('\n'), 0) << refused.err.toStdString();
    RunResult noDevice = runProgram(tarnctlPath(), {"io", "--serial", "/nonexistent/tty", "status"});
    EXPECT_EQ(noDevice.exitCode, 2);
    EXPECT_EQ(runProgram(tarnctlPath(), {"io", "--host", "127.0.0.201", "status"}).exitCode, 2);
}

TEST_F(IoE2E, TarnctlPortSettingsThroughTheDialogChains) {
    // Over TCP, every request NAKed once first: the chain does not notice.
    RunResult out = tarnctl(
        "Nak-Once", {"output", "4", "--disable", "--macro", "o1 & !i2", "--delay-on", "15", "--power-recovery", "on"});
    ASSERT_EQ(out.exitCode, 0) << out.out.toStdString() << out.err.toStdString();
    // The protocol's steps and the chain's messages are a trace on standard error.
    EXPECT_TRUE(out.out.isEmpty()) << out.out.toStdString();
    EXPECT_TRUE(
        out.err.endsWith(QLatin1String("WritePowerStoppage: result 0\nChangeRunMode: result 0\n"
                                       "message: Complete Setting Output port\n")))
        << out.err.toStdString();
    RunResult shown = tarnctl("Nak-Once", {"output", "4"});
    EXPECT_TRUE(
        shown.out.endsWith(QLatin1String("port 4\nenabled         no\nmacro           O1&!I2\n"
                                         "delay/pulse     delay on 00015 (x 100 ms)\npower recovery  yes\n")))
        << shown.out.toStdString();

    // Over a pseudo-terminal that NAKs twice and splits replies.
    if (pty->count("Serial-Nak")) {
        const QStringList serial = {"io", "--serial", pty->at("Serial-Nak")};
        RunResult adc =
            runProgram(tarnctlPath(), serial + QStringList{"adc", "3", "--switch", "7", "--reference", "inside"});
        ASSERT_EQ(adc.exitCode, 0) << adc.out.toStdString() << adc.err.toStdString();
        RunResult read = runProgram(tarnctlPath(), serial + QStringList{"adc", "3"});
        EXPECT_TRUE(read.out.endsWith(QLatin1String("mode       switch\nlevel      0007\nreference  Use inside\n")))
            << read.out.toStdString();
    }

    // A silent device: the read fails, and nothing is written: not even the change to setting mode.
    RunResult silent = tarnctl("Silent", {"input", "2", "--disable"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_EQ(silent.err, QStringLiteral("ReadEnableStatus: no answer\nmessage: Read Enable Status Fail!\n"
                                         "tarnctl: nothing was written: the enable status could not be read\n"));
    // Every read of an output NAKed away: its macro, timing and recovery are not overwritten.
    RunResult unread = tarnctl("Nak-Four", {"output", "2", "--power-recovery", "on"});
    EXPECT_EQ(unread.exitCode, 1);
    EXPECT_FALSE(unread.err.contains("ChangeSettingMode")) << unread.err.toStdString();
    EXPECT_TRUE(unread.err.endsWith("tarnctl: nothing was written: the enable status could not be read\n"));
    // A dropped connection is a link failure.
    EXPECT_EQ(tarnctl("Closer", {"input", "1", "--enable"}).exitCode, 2);
    // Every read failing: nothing is shown as a default, and the exit code says so.
    RunResult naks = tarnctl("Nak-Four", {"output", "2"});
    EXPECT_EQ(naks.exitCode, 1);
    EXPECT_TRUE(
        naks.out.endsWith(QLatin1String("port 2\nenabled         unknown\nmacro           unknown\n"
                                        "delay/pulse     unknown\npower recovery  unknown\n")))
        << naks.out.toStdString();
    EXPECT_TRUE(
        naks.err.endsWith("tarnctl: failed: ReadEnableStatus, ReadMacroData, ReadDelayPulseData, ReadPowerStoppage\n"))
        << naks.err.toStdString();
    // The device closes after its fifth answer, the change to setting mode: tarnctl connects again
    // and returns it to run mode, and says so; the status then reads normally (not "setting mode").
    RunResult dropped = tarnctl("Closer-5", {"output", "2", "--enable", "--power-recovery", "on"});
    EXPECT_EQ(dropped.exitCode, 2);
    EXPECT_TRUE(dropped.err.contains("ChangeSettingMode: result 1\n")) << dropped.err.toStdString();
    EXPECT_TRUE(dropped.err.contains(
        "tarnctl: the link was lost in setting mode; connected again and returned the device to run mode\n"))
        << dropped.err.toStdString();
    EXPECT_EQ(tarnctl("Closer-5", {"status"}).exitCode, 0);
    // Contradictory options.
    RunResult both = tarnctl("Plain", {"input", "1", "--enable", "--disable"});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_EQ(both.err, QStringLiteral("tarnctl: give only one of --enable and --disable\n"));
    EXPECT_EQ(tarnctl("Plain", {"adc", "1", "--level", "--switch", "5"}).exitCode, 2);
    // Bad values are refused before anything is sent.
    RunResult level = tarnctl("Plain", {"adc", "2", "--switch", "1024"});
    EXPECT_EQ(level.exitCode, 2);
    EXPECT_EQ(level.err, QStringLiteral("tarnctl: Input Number Limit(0~1023)\n"));
    EXPECT_EQ(tarnctl("Plain", {"output", "1", "--macro", "O1&&O2"}).exitCode, 2);
    EXPECT_EQ(tarnctl("Plain", {"input", "13", "--enable"}).exitCode, 2);
}

}  // namespace

// io watch: a line per poll, polls never closer than the interval, whole lines up to SIGINT (exit
// 130), and a link that goes ends the watch with exit 2.
TEST_F(IoE2E, TarnctlWatchCsvSigintAndALostLink) {
    const QString plainLine = QStringLiteral(",ok,512,0,7,1023,1,0,0,0,0,0,0,0,0,0,0,1,0,1,0,0,0,0,0,0,0,0");
    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z"));
    RunResult csv = tarnctl("Plain", {"watch", "--interval", "0.2", "--count", "3", "--csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    const QStringList lines = csv.out.split('\n');
    ASSERT_EQ(lines.size(), 5) << csv.out.toStdString();  // header, three polls, the final newline
    EXPECT_EQ(lines[0],
              "time,link,adc1,adc2,adc3,adc4,in1,in2,in3,in4,in5,in6,in7,in8,in9,in10,in11,in12,"
              "out1,out2,out3,out4,out5,out6,out7,out8,out9,out10");
    QDateTime previous;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(time.match(lines[i]).hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(lines[i].mid(24), plainLine) << lines[i].toStdString();
        const QDateTime at = QDateTime::fromString(lines[i].left(24), Qt::ISODateWithMs);
        if (previous.isValid()) {
            EXPECT_GE(previous.msecsTo(at), 190) << "polls closer than the interval";
        }
        previous = at;
    }

    QProcess watch;
    const Endpoint e = io->at("Plain");
    watch.start(tarnctlPath(),
                {"io", "--host", e.host, "--port", QString::number(e.port), "watch", "--interval", "0.1", "--json"});
    QByteArray out;
    ASSERT_TRUE(waitUntil([&] { return (out += watch.readAllStandardOutput()).count('\n') >= 3; }));
    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    ASSERT_TRUE(watch.waitForFinished(5000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 130);
    out += watch.readAllStandardOutput();
    ASSERT_TRUE(out.endsWith('\n'));
    for (const QByteArray& line : out.trimmed().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        EXPECT_EQ(o.value("link").toString(), "ok") << line.toStdString();
        EXPECT_EQ(o.value("adc").toArray().at(3).toObject().value("value").toInt(), 1023);
    }

    RunResult lost = tarnctl("Closer-5", {"watch", "--interval", "0.1"});
    EXPECT_EQ(lost.exitCode, 2);
    EXPECT_EQ(lost.out.count('\n'), 5) << lost.out.toStdString();  // the five replies before the close
    EXPECT_TRUE(lost.err.startsWith(QLatin1String("tarnctl: link lost"))) << lost.err.toStdString();
    RunResult refused = runProgram(tarnctlPath(), {"io", "--host", "127.0.0.201", "--port", "1", "watch"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
}

// A device that answers each request 3.5 s late: every poll is "no reply", over TCP (connected anew
// after each time-out) and over a serial line (drained), never the poll before's values as live.
TEST_F(IoE2E, ALateAnswerNeverPassesForTheNextPoll) {
    const QStringList watch{"watch", "--interval", "0.5", "--count", "3", "--json"};
    std::vector<RunResult> runs{runProgram(tarnctlPath(), ioArgs("Late-3500", watch), 60000)};
    if (pty->count("Late-3500"))
        runs.push_back(runProgram(tarnctlPath(), QStringList{"io", "--serial", pty->at("Late-3500")} + watch, 60000));
    for (const RunResult& r : runs) {
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_EQ(r.out.count("\"link\":\"no reply\""), 3) << r.out.toStdString();
    }
}

// SIGINT in the middle of a write chain stops it at the next result; the device goes back to run
// mode, the command says what it wrote and exits 130. `watch | head -3` ends with 141.
TEST_F(IoE2E, AStopSignalOrAGoneReaderEndsTarnctlCleanly) {
    QProcess run;
    run.start(tarnctlPath(), ioArgs("Late", {"output", "3", "--disable", "--power-recovery", "on"}));
    QByteArray err;
    ASSERT_TRUE(
        waitUntil([&] { return (err += run.readAllStandardError()).contains("ChangeSettingMode: result 1"); }, 60000));
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(30000));
    err += run.readAllStandardError();
    EXPECT_EQ(run.exitCode(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains("ChangeRunMode: result 0\ntarnctl: stopped by SIGINT; written: ")) << err.toStdString();
    EXPECT_TRUE(err.endsWith("; the device was returned to run mode\n") && !err.contains("WritePowerStoppage"));
    EXPECT_EQ(tarnctl("Late", {"status"}).exitCode, 0);

    QProcess shell;
    const QStringList watch = QStringList{tarnctlPath()} + ioArgs("Plain", {"watch", "--interval", "0.2"});
    shell.start("bash", {"-c", "'" + watch.join("' '") + "' | head -3 >/dev/null; echo \"status ${PIPESTATUS[0]}\""});
    ASSERT_TRUE(shell.waitForFinished(20000)) << "still polling after its reader went away";
    EXPECT_EQ(shell.readAllStandardOutput(), "status 141\n");
}

// Options a subcommand does not take are refused (exit 2); --json is taken by every one.
TEST_F(IoE2E, SubcommandsRefuseOptionsTheyDoNotTakeAndSpeakJson) {
    for (const QStringList& args : {QStringList{"status", "--csv", "--count", "3"}, QStringList{"serial", "--enable"},
                                    QStringList{"input", "1", "--interval", "2"}, QStringList{"run-mode", "--level"}}) {
        const RunResult r = tarnctl("Plain", args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("tarnctl: io " + args[0] + " takes no --") && r.out.isEmpty());
    }
    const QJsonObject o = QJsonDocument::fromJson(tarnctl("Plain", {"output", "3", "--json"}).out.toUtf8()).object();
    EXPECT_TRUE(o.value("enabled").toBool() && o.value("delayPulse").toObject().value("mode") == "none");
}

// The simulator's moving ports over ten minutes of 2 s polls: every ADC port sweeps much of its
// range without leaving it, every input toggles, and the same time gives the same values.
TEST(SimIoMotion, WavesStayInRangeAndInputsToggle) {
    IoDeviceState initial;
    initial.inputOn[3] = true;
    std::array<int, kIoAdcCount> low{1023, 1023, 1023, 1023}, high{};
    std::array<int, kIoInputCount> toggles{};
    IoDeviceState state = initial, previous = initial;
    for (std::int64_t ms = 0; ms <= 600000; ms += 2000) {
        tarnsim::applyMotion(state, initial, 77, ms);
        for (int k = 0; k < kIoAdcCount; ++k) {
            ASSERT_GE(state.adcValue[k], 0);
            ASSERT_LE(state.adcValue[k], 1023);
            low[k] = std::min(low[k], state.adcValue[k]);
            high[k] = std::max(high[k], state.adcValue[k]);
        }
        for (int i = 0; i < kIoInputCount; ++i) toggles[i] += state.inputOn[i] != previous.inputOn[i];
        previous = state;
    }
    for (int k = 0; k < kIoAdcCount; ++k) EXPECT_GT(high[k] - low[k], 600) << k;
    for (int i = 0; i < kIoInputCount; ++i) EXPECT_GE(toggles[i], 8) << i;  // every 10 to 66 s
    IoDeviceState again = initial;
    tarnsim::applyMotion(again, initial, 77, 600000);
    EXPECT_EQ(again.adcValue, state.adcValue);
    EXPECT_EQ(again.inputOn, state.inputOn);
}
