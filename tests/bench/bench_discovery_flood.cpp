// A flood of probe replies, every one with a new MAC, from one address, against what a real fleet of
// 100,000 devices costs, side by side in one run:
//  - BM_WindowFlood: the device list's resident memory after 100,000 devices, after a flood of
//    1,000,000 replies (the list keeps its limit, 200,000), and after the list is cleared. Goals: the
//    flood at most 2x the fleet; after the clear, back near where it started.
//  - BM_TarnctlFlood: the peak resident size of `tarnctl probe` during a 10 s flood at full speed,
//    against its peak for a fleet of 100,000 simulated devices. Goal: at most 2x.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QNetworkDatagram>
#include <QTemporaryFile>
#include <QUdpSocket>

#include "core/discovery/probe_reply.h"
#include "gui/common/frame_state.h"
#include "gui/discovery/left_view.h"
#include "link/discovery/device_socket.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "window_bench.h"

extern char** environ;

namespace {

double residentMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? static_cast<double>(fields[1].toLongLong() * sysconf(_SC_PAGESIZE)) / (1 << 20) : -1;
}

QByteArray replyOf(std::uint32_t i) {
    tarn::ProbeReplyContent s;
    s.mac = {0x02,
             static_cast<std::uint8_t>(i >> 24),
             static_cast<std::uint8_t>(i >> 16),
             static_cast<std::uint8_t>(i >> 8),
             static_cast<std::uint8_t>(i),
             0x01};
    s.name = "Device-" + std::to_string(i);
    const tarn::Bytes r = tarn::buildProbeReply(s);
    return QByteArray(reinterpret_cast<const char*>(r.data()), static_cast<qsizetype>(r.size()));
}

void BM_WindowFlood(benchmark::State& state) {
    tarn::FrameState frame;
    frame.dataDir = QStringLiteral(TARN_DATA_DIR);
    tarn::test::ScriptedPrompter prompter;
    tarn::CLeftView view(frame, prompter);
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();
    const double start = residentMb();
    double fleet = 0, flood = 0, cleared = 0;
    int kept = 0;
    for (auto _ : state) {
        tarn::Datagram d{{}, {}, 2002, 0};
        for (std::uint32_t i = 0; i < 100000; ++i) {
            d.data = replyOf(i);
            d.senderAddress = QStringLiteral("127.1.%1.%2").arg(i >> 8 & 0xFF).arg(i & 0xFF);
            view.handleReply(d);
        }
        view.tree()->deviceModel()->flush();
        QCoreApplication::processEvents();
        fleet = residentMb();
        view.tree()->deleteAllItems();
        d.senderAddress = QStringLiteral("127.0.0.9");
        for (std::uint32_t i = 0; i < 1000000; ++i) {
            d.data = replyOf(i);
            view.handleReply(d);
        }
        view.tree()->deviceModel()->flush();
        QCoreApplication::processEvents();
        flood = residentMb();
        kept = view.tree()->deviceCount();
        view.tree()->deleteAllItems();
        QCoreApplication::processEvents();
        cleared = residentMb();
    }
    state.counters["startMB"] = start;
    state.counters["fleet100kMB"] = fleet;
    state.counters["flood1MMB"] = flood;
    state.counters["clearedMB"] = cleared;
    state.counters["kept"] = kept;
    state.counters["ratio"] = flood / fleet;  // goal: at most 2
}
BENCHMARK(BM_WindowFlood)->Iterations(1)->Unit(benchmark::kMillisecond);

// The high-water mark of a process's resident size in kB (VmHWM), or -1 when it is gone. Read while
// it runs: the rusage of wait4 would count the parent's pages that a spawned child started with.
long highWaterKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Runs tarnctl with the given arguments, calling `tick` until it ends (a tick returns soon); its peak
// resident size in kB, or -1.
long peakOf(const QStringList& args, const std::function<void()>& tick) {
    std::vector<std::string> words{tarn::test::tarnctlPath().toStdString()};
    for (const QString& a : args) words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return -1;
    long peak = -1;
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid)
            break;
        peak = std::max(peak, highWaterKb(pid));
        tick();
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? peak : -1;
}

void BM_TarnctlFlood(benchmark::State& state) {
    QTemporaryFile fleetFile(QDir::tempPath() + QStringLiteral("/tarn-bench-fleet-XXXXXX.json"));
    if (!fleetFile.open()) return state.SkipWithError("no temporary fleet file");
    fleetFile.write(tarn::bench::fleetJson(100000));
    fleetFile.flush();
    long fleetKb = -1, floodKb = -1;
    {
        tarn::test::SimProcess sim;
        if (!sim.start({"--fleet", fleetFile.fileName(), "--device-port", "0"}, 120000))
            return state.SkipWithError("tarn-sim did not start");
        fleetKb = peakOf({"probe", "--broadcast", "127.255.255.255", "--device-port", QString::number(sim.devicePort()),
                          "--wait", "8000"},
                         [] { ::usleep(20000); });
    }
    // The flooder takes the probe itself (nothing else listens on its port) and answers it for as long
    // as tarnctl runs: 10 s of wait after the probe.
    QUdpSocket flooder;
    if (!flooder.bind(QHostAddress::AnyIPv4, 0)) return state.SkipWithError("no flood socket");
    const quint16 port = flooder.localPort();
    std::uint64_t sent = 0;
    for (auto _ : state) {
        std::uint32_t next = 0;
        quint16 back = 0;
        const QStringList probe{"probe",  "--broadcast", "127.255.255.255", "--device-port", QString::number(port),
                                "--wait", "10000"};
        floodKb = peakOf(probe, [&] {
            if (back == 0) {
                if (flooder.waitForReadyRead(20)) back = static_cast<quint16>(flooder.receiveDatagram().senderPort());
                return;
            }
            for (int k = 0; k < 1024; ++k) {
                const QByteArray r = replyOf(next++);
                if (flooder.writeDatagram(r, QHostAddress(QHostAddress::LocalHost), back) == r.size()) ++sent;
            }
        });
    }
    state.counters["fleet100kMB"] = static_cast<double>(fleetKb) / 1024;
    state.counters["floodMB"] = static_cast<double>(floodKb) / 1024;
    state.counters["floodSent"] = static_cast<double>(sent);
    state.counters["ratio"] = static_cast<double>(floodKb) / static_cast<double>(fleetKb);  // goal: at most 2
}
BENCHMARK(BM_TarnctlFlood)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
