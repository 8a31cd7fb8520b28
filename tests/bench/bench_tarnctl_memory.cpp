// The memory `tarnctl probe` needs for a fleet of 100,000 devices, printed as text (the floor) and
// as JSON, side by side in one run: the peak resident size of each run. Goal: the
// JSON run at most 2x the text run (the JSON is written one device at a time). The peaks are read
// while tarnctl runs (tarnctl_run.h).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include "support/sim_process.h"
#include "support/test_paths.h"
#include "tarnctl_run.h"
#include "window_bench.h"

namespace {

struct Run {
    long peakKb = -1;
    int lines = 0;
};

// Runs tarnctl with its standard output into a file; the peak resident size and the lines printed.
Run probeRun(const QStringList& args) {
    QTemporaryFile out(QDir::tempPath() + QStringLiteral("/tarn-bench-out-XXXXXX"));
    if (!out.open()) return {};
    const tarn::bench::TarnctlRun ran = tarn::bench::runTarnctl(args, out.fileName(), [] { ::usleep(20000); });
    if (ran.exitCode != 0) return {};
    Run run;
    run.peakKb = ran.peakKb;
    QFile printed(out.fileName());
    if (printed.open(QIODevice::ReadOnly))
        while (!printed.atEnd()) run.lines += printed.readLine().isEmpty() ? 0 : 1;
    return run;
}

void BM_ProbeOutputMemory(benchmark::State& state) {
    const int fleetSize = static_cast<int>(state.range(0));
    QTemporaryFile fleet(QDir::tempPath() + QStringLiteral("/tarn-bench-fleet-XXXXXX.json"));
    if (!fleet.open()) return state.SkipWithError("no temporary fleet file");
    fleet.write(tarn::bench::fleetJson(fleetSize));
    fleet.flush();
    tarn::test::SimProcess sim;
    if (!sim.start({"--fleet", fleet.fileName(), "--device-port", "0"}, 120000))
        return state.SkipWithError(("tarn-sim did not start: " + sim.output().toStdString()).c_str());
    const QStringList probe{
        "probe",  "--broadcast", "127.255.255.255", "--device-port", QString::number(sim.devicePort()),
        "--wait", "8000"};
    Run text, json;
    for (auto _ : state) {
        text = probeRun(probe);
        json = probeRun(probe + QStringList{"--json"});
        if (text.peakKb < 0 || json.peakKb < 0) return state.SkipWithError("tarnctl failed");
    }
    state.counters["textMB"] = static_cast<double>(text.peakKb) / 1024;
    state.counters["jsonMB"] = static_cast<double>(json.peakKb) / 1024;
    state.counters["ratio"] = static_cast<double>(json.peakKb) / static_cast<double>(text.peakKb);  // goal: <= 2
    state.counters["textLines"] = text.lines;  // the devices and two more lines
    state.counters["jsonLines"] = json.lines;
}
BENCHMARK(BM_ProbeOutputMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
