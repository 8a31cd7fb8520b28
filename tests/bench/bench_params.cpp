// Parameter core throughput: parsing a 700-record .dcf file, and formatting all 700 values of a
// whole-device reply.
#include <benchmark/benchmark.h>
#include <random>

#include "core/params/dcf_parser.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"
#include "support/dcf_text.h"

namespace {

const std::string& largeFile() {
    static const std::string text = tarn::test::largeDcfText(80);
    return text;
}

void parse700(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        tarn::DcfParseResult result = tarn::parseDeviceConfiguration(text);
        if (!result.ok || result.set.recordCount() != 700) state.SkipWithError("the generated file did not parse");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["file_bytes"] = static_cast<double>(text.size());
}

// 640 records written in the file, 60 made as instance copies.
void BM_ParseDcf700(benchmark::State& state) { parse700(state, largeFile()); }
BENCHMARK(BM_ParseDcf700);

// 90 records written, 610 instance copies: little text, much expansion work per byte.
void BM_ParseDcf700MostlyCopies(benchmark::State& state) {
    static const std::string text = tarn::test::largeDcfText(10);
    parse700(state, text);
}
BENCHMARK(BM_ParseDcf700MostlyCopies);

void BM_FormatAll700(benchmark::State& state) {
    const tarn::DcfParseResult parsed = tarn::parseDeviceConfiguration(largeFile());
    const tarn::DefinitionSet& set = parsed.set;
    std::size_t total = 0;
    for (const auto& r : set.records) total += static_cast<std::size_t>(r.size);
    tarn::Bytes reply(total);
    std::mt19937 rng(7);
    for (auto& b : reply) b = static_cast<std::uint8_t>(rng());
    for (auto _ : state) {
        std::size_t offset = 0;
        for (int i = 0; i < set.recordCount(); ++i) {
            const auto& record = set.records[static_cast<std::size_t>(i)];
            std::string text =
                tarn::FormatValue(record, *tarn::blockValue(set, i, reply, offset), tarn::ByteOrder::Big);
            benchmark::DoNotOptimize(text);
            offset += static_cast<std::size_t>(set.records[static_cast<std::size_t>(i)].size);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * set.recordCount());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total));
}
BENCHMARK(BM_FormatAll700);

}  // namespace

BENCHMARK_MAIN();
