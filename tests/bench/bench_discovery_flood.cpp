// A flood of probe replies, every one with a new MAC, from one address, against what a real fleet of
// 100,000 devices costs, side by side in one run:
//  - BM_WindowFlood: the device list's resident memory after 100,000 devices, after a flood of
//    1,000,000 replies (the list keeps its limit, 200,000), and after the list is cleared. Goals: the
//    flood at most 2x the fleet; after the clear, back near where it started.
//  - BM_TarnctlFlood: the peak resident size (tarnctl_run.h) of `tarnctl probe` during a 10 s flood at full speed,
//    against its peak for a fleet of 100,000 simulated devices. Goal: at most 2x.
#include <benchmark/benchmark.h>
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
#include "tarnctl_run.h"
#include "window_bench.h"

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
        fleetKb = tarn::bench::runTarnctl({"probe", "--broadcast", "127.255.255.255", "--device-port",
                                           QString::number(sim.devicePort()), "--wait", "8000"},
                                          QStringLiteral("/dev/null"), [] { ::usleep(20000); })
                      .peakKb;
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
        floodKb = tarn::bench::runTarnctl(probe, QStringLiteral("/dev/null"), [&] {
                      if (back == 0) {
                          if (flooder.waitForReadyRead(20))
                              back = static_cast<quint16>(flooder.receiveDatagram().senderPort());
                          return;
                      }
                      for (int k = 0; k < 1024; ++k) {
                          const QByteArray r = replyOf(next++);
                          if (flooder.writeDatagram(r, QHostAddress(QHostAddress::LocalHost), back) == r.size()) ++sent;
                      }
                  }).peakKb;
    }
    state.counters["fleet100kMB"] = static_cast<double>(fleetKb) / 1024;
    state.counters["floodMB"] = static_cast<double>(floodKb) / 1024;
    state.counters["floodSent"] = static_cast<double>(sent);
    state.counters["ratio"] = static_cast<double>(floodKb) / static_cast<double>(fleetKb);  // goal: at most 2
}
BENCHMARK(BM_TarnctlFlood)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
