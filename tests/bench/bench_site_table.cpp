// Reading and checking a site table as `tarnctl fleet apply --values` does before anything is sent:
// the file parsed (header, MACs, duplicate lines) and then checked against the devices that answered.
//   - BM_SiteTableRows/N: N device lines of about 26 bytes (600,000 of them make 15.5 MB, under the
//     16 MiB cap), 1,000 of them answering; goal: at most 3 s at 600,000.
//   - BM_SiteTableColumns/N: N columns and two device lines whose every cell is filled, both devices
//     answering (every column is then looked up in the device's list); goal: at most 1 s at 100,000.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

#include "core/fleet/site_check.h"
#include "core/fleet/site_table.h"
#include "support/test_paths.h"

namespace {

std::string macText(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:00:%02X:%02X:%02X", (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

tarn::DeviceEntry device(int n) {
    tarn::DeviceEntry d;
    d.name = "Pump-" + std::to_string(n);
    d.mac = macText(n);
    d.ip = "127.1." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 1);
    d.productId = "74";
    d.version = "1.1";
    return d;
}

void readAndCheck(benchmark::State& state, const std::string& text, const std::vector<tarn::DeviceEntry>& answered,
                  std::size_t expectedProblems) {
    tarn::SiteDefinitions definitions(tarn::test::dataDir().toStdString() + "/");
    std::size_t problems = 0;
    for (auto _ : state) {
        const tarn::SiteRead read = tarn::parseSiteTable(text);
        if (!read.problems.empty()) return state.SkipWithError(read.problems.front().text.c_str());
        problems = tarn::checkSiteTable(read.table, answered, definitions).size();
        benchmark::DoNotOptimize(problems);
    }
    if (problems != expectedProblems) state.SkipWithError("the check did not find what the table holds");
    state.counters["fileMB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["problems"] = static_cast<double>(problems);
}

void BM_SiteTableRows(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    std::string text = "MAC,Location\r\n";
    for (int n = 0; n < rows; ++n) text += macText(n) + ",Roof-" + std::to_string(n % 10) + "\r\n";
    std::vector<tarn::DeviceEntry> answered;
    for (int n = 0; n < 1000; ++n) answered.push_back(device(n * (rows / 1000)));
    readAndCheck(state, text, answered, 0);
}
BENCHMARK(BM_SiteTableRows)->Arg(50000)->Arg(100000)->Arg(200000)->Arg(600000)->Unit(benchmark::kMillisecond);

void BM_SiteTableColumns(benchmark::State& state) {
    const int columns = static_cast<int>(state.range(0));
    std::string header = "MAC", cells;
    for (int c = 0; c < columns; ++c) {
        header += ",Column " + std::to_string(c);
        cells += ",1";
    }
    const std::string text = header + "\r\n" + macText(1) + cells + "\r\n" + macText(2) + cells + "\r\n";
    // No device has these rows: every cell of both lines is one problem.
    readAndCheck(state, text, {device(1), device(2)}, 2 * static_cast<std::size_t>(columns));
}
BENCHMARK(BM_SiteTableColumns)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
