// The memory that reading a large pwd.ini takes, as the programs read it (CredentialStore: the first
// lookup of a device reads the whole log), and that one new device's credentials take to save into it.
// The file is generated in the scratch folder (entries of about 550 bytes: an ID with blanks, a long
// password) and written piece by piece, so that the process holds none of it before it is read.
// Counters: the file's size, the peak resident size of the whole process (getrusage) and what the
// reading added to it, as a multiple of the file's size; goal: at most 2. Run one benchmark per
// process (--benchmark_filter), since the peak of a process never falls.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <sys/resource.h>

#include "core/common/silent_prompter.h"
#include "core/manage/credential_store.h"
#include "support/test_paths.h"

namespace {

double peakMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

std::string macText(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "02:00:00:%02X:%02X:%02X", (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
    return text;
}

// A pwd.ini of about `megabytes` MB; the number of its entries.
int writeLog(const std::string& path, int megabytes) {
    std::string id;
    for (int i = 0; i < 18; ++i) id += "plant-/space/-";
    const std::string password(230, 'p');
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    long long written = 0;
    int entries = 0;
    std::string text;
    while (written < megabytes * 1000000LL && entries < 1000000) {
        text = "\n[" + std::to_string(entries + 1) + "]\nMAC : " + macText(entries) + " \nID : " + id +
               std::to_string(entries) + " \nPassword : " + password + std::to_string(entries) + " \n";
        std::fwrite(text.data(), 1, text.size(), file);
        written += static_cast<long long>(text.size());
        ++entries;
    }
    std::fclose(file);
    return entries;
}

struct LargeLog {
    std::string path;
    int entries = 0;
    double fileMiB = 0;
};

LargeLog largeLog(benchmark::State& state) {
    LargeLog log;
    log.path = tarn::test::scratchDir().toStdString() + "/pwd.ini";
    log.entries = writeLog(log.path, static_cast<int>(state.range(0)));
    std::FILE* file = std::fopen(log.path.c_str(), "rb");
    if (file) {
        std::fseek(file, 0, SEEK_END);
        log.fileMiB = static_cast<double>(std::ftell(file)) / (1024 * 1024);
        std::fclose(file);
    }
    return log;
}

void report(benchmark::State& state, const LargeLog& log, double before) {
    const double peak = peakMiB();
    state.counters["fileMiB"] = log.fileMiB;
    state.counters["entries"] = log.entries;
    state.counters["peakMiB"] = peak;
    state.counters["ratio"] = (peak - before) / log.fileMiB;  // goal: <= 2
}

// The first lookup reads the whole log; the last device's credentials are found.
void BM_ReadLargeLog(benchmark::State& state) {
    const LargeLog log = largeLog(state);
    const double before = peakMiB();
    tarn::SilentPrompter prompter;
    for (auto _ : state) {
        tarn::CredentialStore store(log.path);
        if (!store.find(macText(log.entries - 1), prompter)) return state.SkipWithError("the last entry was not read");
    }
    report(state, log, before);
}
BENCHMARK(BM_ReadLargeLog)->Arg(100)->Arg(300)->Arg(515)->Iterations(1)->Unit(benchmark::kMillisecond);

// A device new to the log is remembered and saved: the log is read and written back whole.
void BM_SaveIntoLargeLog(benchmark::State& state) {
    const LargeLog log = largeLog(state);
    const double before = peakMiB();
    tarn::SilentPrompter prompter;
    for (auto _ : state) {
        tarn::CredentialStore store(log.path);
        store.remember("02:00:01:00:00:00", {"new id", "new password"}, prompter);
        if (!store.save(prompter)) return state.SkipWithError("the log was not saved");
    }
    report(state, log, before);
}
BENCHMARK(BM_SaveIntoLargeLog)->Arg(100)->Arg(300)->Arg(515)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
