// The Trend view over a full recording (a day of polls at 2 s, 43,200 samples, with moving ADC
// values and toggling inputs): opening it, painting it whole and zoomed in, and taking one new poll
// while following, as the monitor does every interval.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QString>

#include "core/common/silent_prompter.h"
#include "core/monitor/io_history.h"
#include "gui/monitor/trend_dlg.h"
#include "window_bench.h"

namespace {

using namespace tarn;

SilentPrompter prompter;

constexpr std::int64_t kStart = 1796680202125;

IoSample poll(int n) {
    IoStatus s;
    for (int k = 0; k < kIoAdcCount; ++k) {
        const int value = 500 + static_cast<int>(400 * std::sin(n / (45.0 + 15 * k)));
        s.adc[k] = {PortStateCode::OnWithLevel, QString::number(value).rightJustified(4, '0').toStdString()};
    }
    for (int i = 0; i < kIoInputCount; ++i) s.input[i] = (n / (5 + 3 * i)) % 2 ? PortStateCode::On : PortStateCode::Off;
    if (n % 97 < 9) return IoSample::withoutStatus(kStart + n * 2000LL, LinkSample::Lost);
    return IoSample::fromStatus(kStart + n * 2000LL, s);
}

const IoHistory& fullDay() {
    static IoHistory* history = [] {
        auto* h = new IoHistory;
        for (int n = 0; n < static_cast<int>(kIoHistoryCapacity); ++n) h->record(poll(n));
        return h;
    }();
    return *history;
}

void BM_TrendOpenAndPaintADay(benchmark::State& state) {
    for (auto _ : state) {
        CTrendDlg dialog(fullDay(), prompter);
        dialog.resize(900, 760);
        benchmark::DoNotOptimize(dialog.grab());
    }
    state.counters["bytes"] = static_cast<double>(fullDay().bytes());
}
BENCHMARK(BM_TrendOpenAndPaintADay)->Unit(benchmark::kMillisecond);

void BM_TrendPaintZoomedIn(benchmark::State& state) {
    CTrendDlg dialog(fullDay(), prompter);
    dialog.resize(900, 760);
    dialog.zoom(0.01, kStart);
    for (auto _ : state) benchmark::DoNotOptimize(dialog.grab());
}
BENCHMARK(BM_TrendPaintZoomedIn)->Unit(benchmark::kMillisecond);

void BM_TrendOneNewPollWhileFollowing(benchmark::State& state) {
    IoHistory history = fullDay();
    CTrendDlg dialog(history, prompter);
    dialog.resize(900, 760);
    int n = static_cast<int>(kIoHistoryCapacity);
    for (auto _ : state) {
        history.record(poll(n++));
        dialog.takeNewSamples();
        benchmark::DoNotOptimize(dialog.grab());
    }
}
BENCHMARK(BM_TrendOneNewPollWhileFollowing)->Unit(benchmark::kMillisecond);

// The same with the view on screen: the window repaints only what the poll changed, as it does in use.
// "worst" is the slowest poll, after a first one that warms the font and glyph caches (opening the
// view is measured above). The view moves a pixel column when a column's time has passed, about
// one poll in 50 over a day: "p99" is about what that poll costs, and less exposed than the worst
// to what else the machine does.
// The argument is the polls recorded: a full day, or half of one (the view showing all of a growing
// recording).
void BM_TrendOneNewPollWhileFollowingShown(benchmark::State& state) {
    IoHistory history;
    const int recorded = static_cast<int>(state.range(0));
    for (int n = 0; n < recorded; ++n) history.record(fullDay().at(static_cast<std::size_t>(n)));
    CTrendDlg dialog(history, prompter);
    dialog.resize(900, 760);
    dialog.show();
    QCoreApplication::processEvents();
    int n = recorded;
    std::vector<double> polls;
    history.record(poll(n++));
    dialog.takeNewSamples();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        history.record(poll(n++));
        dialog.takeNewSamples();
        QCoreApplication::processEvents();  // the chart's scene posts its update, the update paints
        QCoreApplication::processEvents();
        polls.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(polls.begin(), polls.end());
    state.counters["worst_ms"] = polls.back();
    state.counters["p99_ms"] = polls[polls.size() * 99 / 100];
}
BENCHMARK(BM_TrendOneNewPollWhileFollowingShown)
    ->Arg(static_cast<int>(kIoHistoryCapacity))
    ->Arg(static_cast<int>(kIoHistoryCapacity / 2))
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
