// The monitor's recording: the ring's bounds, wrap and order, the packing of a sample, and its CSV.
#include <gtest/gtest.h>
#include <random>

#include "core/monitor/io_history.h"
#include "core/monitor/trend_plot.h"
#include "core/monitor/trend_window.h"

namespace tarn {
namespace {

TEST(IoHistory, KeepsTheNewestInOrderWithinItsBound) {
    IoHistory small(5);
    for (int i = 0; i < 12; ++i) {
        small.record(IoSample::withoutStatus(1000 + i, LinkSample::NoReply));
        ASSERT_EQ(small.size(), std::min(i + 1, 5));
        EXPECT_EQ(small.at(0).timeMs(), 1000 + std::max(0, i - 4)) << i;
        EXPECT_EQ(small.at(small.size() - 1).timeMs(), 1000 + i) << i;
    }
    EXPECT_EQ(small.recorded(), 12u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(small.at(i).timeMs(), 1007 + static_cast<int>(i));

    // A day at the shortest interval, and one more: the oldest goes, the memory stays 32 bytes a sample.
    IoHistory day;
    EXPECT_EQ(day.capacity(), 43200u);
    for (std::int64_t t = 0; t <= 43200; ++t) day.record(IoSample::withoutStatus(t, LinkSample::Good));
    EXPECT_EQ(day.size(), 43200u);
    EXPECT_EQ(day.at(0).timeMs(), 1);
    EXPECT_EQ(day.at(43199).timeMs(), 43200);
    EXPECT_EQ(day.bytes(), 43200u * 32u);
}

TEST(IoHistory, SampleKeepsEveryPortAndWritesTheCsvLine) {
    IoStatus status;
    const char outputs[] = "1032452x10";
    const char inputs[] = "10?000000011";
    for (int i = 0; i < kIoOutputCount; ++i) status.output[i] = portStateCodeFromChar(outputs[i]);
    for (int i = 0; i < kIoInputCount; ++i) status.input[i] = portStateCodeFromChar(inputs[i]);
    status.adc = {IoAdcState{PortStateCode::OnWithLevel, "0512"}, IoAdcState{PortStateCode::Off, "12a4"},
                  IoAdcState{PortStateCode::On, "1023"}, IoAdcState{PortStateCode::NoChange, "99"}};
    // 2026-12-07 21:50:02.125 UTC
    const IoSample s = IoSample::fromStatus(1796680202125, status);
    for (int i = 0; i < kIoOutputCount; ++i) EXPECT_EQ(s.output(i), status.output[i]) << i;
    for (int i = 0; i < kIoInputCount; ++i) EXPECT_EQ(s.input(i), status.input[i]) << i;
    for (int k = 0; k < kIoAdcCount; ++k) EXPECT_EQ(s.adcCode(k), status.adc[k].code) << k;
    EXPECT_EQ(s.adcValue(0), 512);
    EXPECT_EQ(s.adcValue(1), IoSample::kNoAdcValue);

    EXPECT_EQ(ioSampleCsvHeader(),
              "time,link,adc1,adc2,adc3,adc4,in1,in2,in3,in4,in5,in6,in7,in8,in9,in10,in11,in12,"
              "out1,out2,out3,out4,out5,out6,out7,out8,out9,out10");
    EXPECT_EQ(ioSampleCsvLine(s), "2026-12-07T21:50:02.125Z,ok,512,,1023,,1,0,,0,0,0,0,0,0,0,1,1,1,0,3,2,4,5,2,,1,0");
    EXPECT_EQ(ioSampleCsvLine(IoSample::withoutStatus(5, LinkSample::SettingMode)),
              "1970-01-01T00:00:00.005Z,setting mode,,,,,,,,,,,,,,,,,,,,,,,,,,");
}

TEST(TrendWindow, FollowsZoomsAndPansWithinTheRecording) {
    TrendWindow w;
    w.setExtent(0, 4000);  // shorter than the narrowest span: the span ends at the newest sample
    EXPECT_EQ(w.from(), 4000 - TrendWindow::kMinSpanMs);
    EXPECT_EQ(w.to(), 4000);
    w.setExtent(0, 600'000);  // ten minutes: all of it while nothing was zoomed
    EXPECT_EQ(w.from(), 0);
    EXPECT_EQ(w.to(), 600'000);

    w.zoom(0.5, 100'000);  // following: the right end stays on the newest sample
    EXPECT_TRUE(w.following());
    EXPECT_EQ(w.from(), 300'000);
    w.setExtent(0, 602'000);
    EXPECT_EQ(w.from(), 302'000);
    EXPECT_EQ(w.to(), 602'000);

    w.pan(-100'000);  // into the past: the view stands still while polls come
    EXPECT_FALSE(w.following());
    w.setExtent(0, 604'000);
    EXPECT_EQ(w.from(), 202'000);
    w.zoom(0.5, 277'000);  // around the anchor: it stays where it was in the view
    EXPECT_EQ(w.to() - w.from(), 150'000);
    EXPECT_EQ(w.from(), 239'500);  // a quarter into the view before and after
    w.pan(-10'000'000);            // never before the first sample
    EXPECT_EQ(w.from(), 0);
    w.zoom(0.0001, 0);  // never narrower than the narrowest span
    EXPECT_EQ(w.to() - w.from(), TrendWindow::kMinSpanMs);
    w.pan(10'000'000);  // panning onto the newest sample follows again
    EXPECT_TRUE(w.following());
    EXPECT_EQ(w.to(), 604'000);
    w.zoom(100, 0);  // never wider than the recording: all of it again
    EXPECT_EQ(w.from(), 0);
}

// Polls without status are shaded from the first of them to the next poll with status; stretches
// less than a column apart are one, and one still going on ends at the newest poll.
TEST(TrendPlot, OutagesRunToTheNextStatusAndJoinWithinAColumn) {
    IoHistory history;
    const std::string links = "gg-Lg--ggggggSgg-L";  // one poll a second; g good, - no reply, L lost, S setting
    for (std::size_t n = 0; n < links.size(); ++n) {
        const auto link = links[n] == 'L'   ? LinkSample::Lost
                          : links[n] == 'S' ? LinkSample::SettingMode
                                            : LinkSample::NoReply;
        history.record(links[n] == 'g' ? IoSample::fromStatus(n * 1000, IoStatus{})
                                       : IoSample::withoutStatus(n * 1000, link));
    }
    const TrendColumns view{0, 20000, 1500, 0};
    EXPECT_EQ(trendOutages(history, view), (std::vector<TrendSpan>{{2000, 7000}, {13000, 14000}, {16000, 17000}}));
    EXPECT_EQ(trendOutages(history, {0, 20000, 500, 0}).size(), 4u);  // narrower columns keep 2-4 s and 5-7 s apart
}

// A line's changed spans cover every segment that one of the two lines draws and the other does
// not, and stay narrow when a poll changes only the ends.
TEST(TrendPlot, ChangedSpansCoverEverySegmentThatDiffers) {
    std::mt19937 random(7);
    const auto line = [&](std::vector<TrendPoint> points, int count) {
        for (double x = points.empty() ? 0 : points.back().x; count-- > 0;)
            points.push_back({x += random() % 3, static_cast<double>(random() % 4)});  // equal times: steps
        return points;
    };
    const auto covers = [](const std::vector<TrendSpan>& spans, const std::vector<TrendPoint>& line,
                           const std::vector<TrendPoint>& other) {
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            bool drawn = false;
            for (std::size_t j = 0; j + 1 < other.size(); ++j)
                drawn |= line[i] == other[j] && line[i + 1] == other[j + 1];
            const auto within = [&](const TrendSpan& s) { return s.from <= line[i].x && line[i + 1].x <= s.to; };
            if (!drawn && std::none_of(spans.begin(), spans.end(), within)) return false;
        }
        return true;
    };
    for (int round = 0; round < 300; ++round) {
        const std::vector<TrendPoint> before = line({}, static_cast<int>(random() % 30));
        // A poll: the oldest points go, the newest changes, new ones come; or a line of its own.
        std::vector<TrendPoint> after(before.begin() + std::min<std::ptrdiff_t>(before.size(), random() % 3),
                                      before.end());
        if (!after.empty() && random() % 2) after.back().y += 1;
        after = round % 5 ? line(after, static_cast<int>(random() % 3)) : line({}, static_cast<int>(random() % 30));
        const std::vector<TrendSpan> spans = changedSpans(before, after);
        EXPECT_TRUE(covers(spans, after, before) && covers(spans, before, after)) << round;
        EXPECT_EQ(spans.empty(), before == after) << round;
    }
    std::vector<TrendPoint> before;
    for (int n = 0; n < 1000; ++n) before.push_back({n * 10.0, n % 7 * 1.0});
    std::vector<TrendPoint> after(before.begin() + 1, before.end());
    after.back().y = 100;
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(changedSpans(before, after), (std::vector<TrendSpan>{{-infinity, 10}, {9980, infinity}}));
}

}  // namespace
}  // namespace tarn
