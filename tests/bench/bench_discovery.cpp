// Handling a probe answered by 700 and by 10,000 devices: the left view's handler reads each
// reply, tests it against the listed devices and appends it to the device tree. The floor, measured in the same run,
// appends the same number of plain three-text items to a bare QTreeWidget; the goal is to stay within 1.5 times the
// floor at both sizes.
#include <benchmark/benchmark.h>
#include <vector>

#include <QApplication>
#include <QTreeWidget>

#include "core/discovery/probe_reply.h"
#include "gui/app/frame_state.h"
#include "gui/discovery/left_view.h"
#include "link/discovery/device_socket.h"
#include "support/scripted_prompter.h"
#include "window_bench.h"

namespace {

std::vector<tarn::Bytes> replies(int count) {
    std::vector<tarn::Bytes> out;
    for (int i = 0; i < count; ++i) {
        tarn::ProbeReplyContent s;
        s.mac = {0x02,
                 0x00,
                 0x00,
                 static_cast<std::uint8_t>(i >> 16),
                 static_cast<std::uint8_t>(i >> 8),
                 static_cast<std::uint8_t>(i)};
        s.macForm = i % 3 == 0;
        s.addressingKind = 2;
        s.productId = static_cast<std::uint8_t>(74 + i % 3);
        s.name = "Device-" + std::to_string(i);
        out.push_back(tarn::buildProbeReply(s));
    }
    return out;
}

void BM_ProbeRepliesIntoTree(benchmark::State& state) {
    std::vector<tarn::Datagram> all;
    for (const tarn::Bytes& r : replies(static_cast<int>(state.range(0))))
        all.push_back({QByteArray(reinterpret_cast<const char*>(r.data()), static_cast<qsizetype>(r.size())),
                       QStringLiteral("127.0.0.2"), 2002, 0});
    tarn::FrameState frame;
    tarn::test::ScriptedPrompter prompter;
    tarn::CLeftView view(frame, prompter);
    tarn::DeviceTree& tree = *view.tree();
    for (auto _ : state) {
        tree.deleteAllItems();
        for (const tarn::Datagram& d : all) view.handleReply(d);
        benchmark::DoNotOptimize(tree.deviceCount());
    }
    if (tree.deviceCount() != state.range(0)) state.SkipWithError("not every reply was listed");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProbeRepliesIntoTree)->Arg(700)->Arg(10000)->Unit(benchmark::kMillisecond);

// The floor: the same number of items with three texts each, into a plain tree, nothing else.
void BM_BareTreeFloor(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<std::array<QString, 3>> texts;
    for (int i = 0; i < count; ++i)
        texts.push_back({QStringLiteral("Device-%1").arg(i), QStringLiteral("127.0.0.2"),
                         QStringLiteral("02:00:00:00:%1:%2")
                             .arg(i >> 8 & 0xFF, 2, 16, QChar('0'))
                             .arg(i & 0xFF, 2, 16, QChar('0'))});
    QTreeWidget tree;
    tree.setColumnCount(3);
    for (auto _ : state) {
        tree.clear();
        for (const auto& t : texts) {
            auto* item = new QTreeWidgetItem;
            for (int c = 0; c < 3; ++c) item->setText(c, t[static_cast<std::size_t>(c)]);
            tree.addTopLevelItem(item);
        }
        benchmark::DoNotOptimize(tree.topLevelItemCount());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_BareTreeFloor)->Arg(700)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ProbeReplyParseOnly(benchmark::State& state) {
    const auto all = replies(700);
    for (auto _ : state) {
        for (const auto& r : all)
            benchmark::DoNotOptimize(
                tarn::readProbeReply(r, "127.0.0.2", false, [](std::string_view) { return false; }));
    }
    state.SetItemsProcessed(state.iterations() * 700);
}
BENCHMARK(BM_ProbeReplyParseOnly);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
