// The memory `tarnctl probe` needs for a fleet of 100,000 devices, printed as text (the floor) and
// as JSON, side by side in one run: the peak resident size of each run, from wait4(). Goal: the
// JSON run at most 2x the text run (the JSON is written one device at a time).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include "support/sim_process.h"
#include "support/test_paths.h"
#include "window_bench.h"

extern char** environ;

namespace {

struct Run {
    long peakKb = -1;
    int lines = 0;
};

// Runs tarnctl with its standard output into a file; the peak resident size and the lines printed.
Run runTarnctl(const QStringList& args) {
    QTemporaryFile out(QDir::tempPath() + QStringLiteral("/tarn-bench-out-XXXXXX"));
    if (!out.open()) return {};
    std::vector<std::string> words{tarn::test::tarnctlPath().toStdString()};
    for (const QString& a : args) words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.fileName().toLocal8Bit().constData(), O_WRONLY | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    Run run;
    run.peakKb = usage.ru_maxrss;
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
        text = runTarnctl(probe);
        json = runTarnctl(probe + QStringList{"--json"});
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
