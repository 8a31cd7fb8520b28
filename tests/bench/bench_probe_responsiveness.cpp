// How responsive the window stays while 10,000 or 100,000 devices answer one probe: the main frame
// (offscreen, shown) probes a tarn-sim fleet on loopback (127.1.0.1 onwards). A 1 ms
// repeating timer on the window's thread measures the event loop: its worst lateness while the
// replies arrive (maxStallMs) against the same loop idle just before (idleMaxStallMs), and the
// longest stretch of work on the window's thread between two ticks (maxBusyMs). Also reported: the
// devices listed and the wall time until the last one was. Argument 1 runs with the Traffic window
// shown, 0 with it hidden (it records either way). Goal: maxStallMs at most 16.
#include <benchmark/benchmark.h>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryFile>
#include <QTest>

#include "gui/app/main_frame.h"
#include "gui/app/traffic_dock.h"
#include "gui/discovery/left_view.h"
#include "support/loopback_frame.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "window_bench.h"

namespace {

using namespace tarn;

constexpr int kIdleMs = 1000;
constexpr int kProbeLimitMs = 60000;

void BM_ProbeAnswered(benchmark::State& state) {
    const int fleetSize = static_cast<int>(state.range(0));
    QTemporaryFile fleet(QDir::tempPath() + QStringLiteral("/tarn-bench-fleet-XXXXXX.json"));
    if (!fleet.open()) return state.SkipWithError("no temporary fleet file");
    fleet.write(bench::fleetJson(fleetSize));
    fleet.flush();
    test::SimProcess sim;
    if (!sim.start({"--fleet", fleet.fileName(), "--device-port", "0"}, 120000))
        return state.SkipWithError(("tarn-sim did not start: " + sim.output().toStdString()).c_str());

    test::ScriptedPrompter prompter;
    CMainFrame frame(test::loopbackFrameState(sim.devicePort()), &prompter);
    frame.resize(1200, 800);
    frame.trafficDock()->setVisible(state.range(1) != 0);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return state.SkipWithError("the window was not shown");
    DeviceTree* tree = frame.leftView()->tree();

    bench::StallProbe probe;
    double idleWorst = 0, worst = 0, busy = 0, wallWorst = 0;
    int listed = 0;
    for (auto _ : state) {
        probe.start();
        bench::runEventLoopFor(kIdleMs);
        probe.stop();
        idleWorst = std::max(idleWorst, probe.worstMs());

        QElapsedTimer wall;
        probe.start();
        wall.start();
        frame.onProbe();
        while (tree->deviceCount() < fleetSize && wall.elapsed() < kProbeLimitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        bench::runEventLoopFor(200);  // the traffic window's last batch
        probe.stop();
        state.SetIterationTime(seconds);
        worst = std::max(worst, probe.worstMs());
        busy = std::max(busy, probe.worstBusyMs());
        wallWorst = std::max(wallWorst, seconds * 1e3);
        listed = tree->deviceCount();
        if (listed != fleetSize) {
            state.SkipWithError(("only " + std::to_string(listed) + " devices were listed").c_str());
            break;
        }
    }
    state.counters["maxStallMs"] = worst;
    state.counters["maxBusyMs"] = busy;
    state.counters["idleMaxStallMs"] = idleWorst;
    state.counters["listed"] = listed;
    state.counters["wallMs"] = wallWorst;
    state.counters["trafficEntries"] = static_cast<double>(frame.trafficDock()->model()->ring().size());
}
BENCHMARK(BM_ProbeAnswered)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
