// Handling a probe answered by 700 devices: parse each reply, test it against the listed devices
// and append it to the device tree.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <vector>

#include "core/discovery/probe_reply.h"
#include "gui/discovery/device_tree.h"

namespace {

std::vector<tarn::Bytes> replies(int count) {
    std::vector<tarn::Bytes> out;
    for (int i = 0; i < count; ++i) {
        tarn::ProbeReplyContent s;
        s.mac = {0x02, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
        s.macForm = i % 3 == 0;
        s.addressingKind = 2;
        s.productId = static_cast<std::uint8_t>(74 + i % 3);
        s.name = "Device-" + std::to_string(i);
        out.push_back(tarn::buildProbeReply(s));
    }
    return out;
}

void BM_ProbeRepliesIntoTree(benchmark::State& state) {
    const auto all = replies(static_cast<int>(state.range(0)));
    tarn::DeviceTree tree;
    for (auto _ : state) {
        tree.deleteAllItems();
        for (const auto& r : all) {
            const auto out = tarn::readProbeReply(r, "127.0.0.2", false,
                                                  [&](std::string_view mac) { return tree.isListed(mac); });
            if (out.verdict == tarn::ProbeVerdict::Accepted) tree.appendDevice(out.entry);
        }
        benchmark::DoNotOptimize(tree.deviceCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProbeRepliesIntoTree)->Arg(700)->Unit(benchmark::kMillisecond);

void BM_ProbeReplyParseOnly(benchmark::State& state) {
    const auto all = replies(700);
    for (auto _ : state) {
        for (const auto& r : all)
            benchmark::DoNotOptimize(tarn::readProbeReply(r, "127.0.0.2", false, [](std::string_view) { return false; }));
    }
    state.SetItemsProcessed(state.iterations() * 700);
}
BENCHMARK(BM_ProbeReplyParseOnly);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
