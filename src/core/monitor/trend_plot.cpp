#include "core/monitor/trend_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/monitor/io_history.h"
#include "core/monitor/trend_window.h"

namespace tarn {

namespace {

// An input's lane: input i (from 0) is drawn between i and i + 1, high when on.
constexpr double kLaneLow = 0.15;
constexpr double kLaneHigh = 0.75;

bool inputKnown(PortStateCode code) { return code == PortStateCode::On || code == PortStateCode::Off; }

// The samples from the last one before `ms` on (polls are recorded in time order).
std::size_t indexBefore(const IoHistory& history, std::int64_t ms) {
    std::size_t lo = 0, hi = history.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (history.at(mid).timeMs() < ms) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo > 0 ? lo - 1 : 0;
}

double laneValue(int input, PortStateCode code) { return input + (code == PortStateCode::On ? kLaneHigh : kLaneLow); }

}  // namespace

TrendColumns trendColumns(const IoHistory& history, const TrendWindow& window, int viewWidth) {
    const std::int64_t span = window.to() - window.from();
    const int width = std::max(100, viewWidth);
    double ms = std::max(1.0, static_cast<double>(span) / width);
    std::int64_t shown = span;
    if (window.following() && window.showsAll() && history.size() < history.capacity()) {
        // The whole recording grows at every poll until the ring is full. Column widths in steps
        // of 1/32 octave keep the columns while it grows by up to 2 %, the room for that left of
        // the oldest poll. (A full ring drops its oldest poll at every poll: there the view starts
        // after it.)
        ms = std::exp2(std::ceil(std::log2(ms) * 32) / 32);
        shown = static_cast<std::int64_t>(std::ceil(ms * width));
    }
    const double newest =
        history.size() ? std::floor(static_cast<double>(history.at(history.size() - 1).timeMs()) / ms) * ms : 0;
    if (!window.following()) return {window.from(), window.to(), ms, newest};
    // Following, the view ends with the newest pixel column: the axes move a column at a time, not
    // at every poll, and a poll within the column changes only that column.
    const auto to = static_cast<std::int64_t>(std::ceil((std::floor(static_cast<double>(window.to()) / ms) + 1) * ms));
    return {to - shown, to, ms, newest};
}

TrendLines plotTrend(const IoHistory& history, const TrendColumns& view) {
    TrendLines lines;
    const std::size_t first = history.size() ? indexBefore(history, view.from) : 0;
    const std::size_t end = history.size() ? std::min(history.size(), indexBefore(history, view.to) + 2) : 0;
    // Each sample's time and column, worked out once for the 16 lines.
    struct Slot {
        const IoSample* sample;
        double x;
        std::int64_t column;
    };
    std::vector<Slot> samples;
    samples.reserve(end - first);
    for (std::size_t n = first; n < end; ++n) {
        const IoSample& sample = history.at(n);
        const auto x = static_cast<double>(sample.timeMs());
        samples.push_back({&sample, x, static_cast<std::int64_t>(std::floor(x / view.ms))});
    }
    for (int k = 0; k < kIoAdcCount; ++k) {
        std::vector<TrendPoint>& points = lines[static_cast<std::size_t>(k)];
        std::int64_t column = -1;
        TrendPoint low, high;
        const auto flush = [&] {
            if (column < 0) return;
            points.push_back(low.x <= high.x ? low : high);
            if (low != high) points.push_back(low.x <= high.x ? high : low);
        };
        for (const Slot& slot : samples) {
            const std::uint16_t value = slot.sample->adcValue(k);
            if (value == IoSample::kNoAdcValue) continue;
            const TrendPoint p{slot.x, static_cast<double>(value)};
            const std::int64_t c = slot.column;
            if (c != column) {
                flush();
                column = c;
                low = high = p;
            } else if (p.y < low.y) {
                low = p;
            } else if (p.y > high.y) {
                high = p;
            }
        }
        flush();
    }
    for (int i = 0; i < kIoInputCount; ++i) {
        const double low = laneValue(i, PortStateCode::Off), high = laneValue(i, PortStateCode::On);
        std::vector<TrendPoint>& points = lines[static_cast<std::size_t>(kIoAdcCount + i)];
        double last = -1, lastX = 0, beforeStep = -1, stepX = 0;
        std::int64_t stepColumn = -1;
        std::size_t stepAt = 0;
        for (const Slot& slot : samples) {
            const PortStateCode code = slot.sample->input(i);
            if (!inputKnown(code)) continue;
            const double y = laneValue(i, code);
            lastX = slot.x;
            const std::int64_t c = slot.column;
            if (last < 0) {
                points.push_back({lastX, y});
            } else if (y != last && c == stepColumn) {
                points.resize(stepAt);
                points.push_back({stepX, beforeStep});
                if (y == beforeStep) points.push_back({stepX, beforeStep == low ? high : low});
                points.push_back({stepX, y});
            } else if (y != last) {
                stepColumn = c;
                stepAt = points.size();
                stepX = lastX;
                beforeStep = last;
                points.push_back({lastX, last});  // a step, not a slope
                points.push_back({lastX, y});
            }
            last = y;
        }
        if (last >= 0 && points.back().x != lastX) points.push_back({lastX, last});
    }
    return lines;
}

std::vector<TrendSpan> trendOutages(const IoHistory& history, const TrendColumns& view) {
    std::vector<TrendSpan> outages;
    if (history.size() == 0) return outages;
    const std::size_t end = std::min(history.size(), indexBefore(history, view.to) + 2);
    bool open = false;
    for (std::size_t n = indexBefore(history, view.from); n < end; ++n) {
        const IoSample& sample = history.at(n);
        const auto x = static_cast<double>(sample.timeMs());
        const bool status = sample.link() == LinkSample::Good;
        if (!status && !open && (outages.empty() || x - outages.back().to >= view.ms)) outages.push_back({x, x});
        if (!status || open) outages.back().to = x;
        open = !status;
    }
    return outages;
}

std::vector<TrendSpan> changedSpans(const std::vector<TrendPoint>& before, const std::vector<TrendPoint>& after) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    std::vector<TrendSpan> spans;
    double shared = -kInfinity;  // the last point both share
    bool apart = false;
    std::size_t i = 0, j = 0;
    while (i < before.size() || j < after.size()) {
        if (i < before.size() && j < after.size() && before[i] == after[j]) {
            if (apart) spans.push_back({shared, before[i].x});
            apart = false;
            shared = before[i].x;
            ++i;
            ++j;
            continue;
        }
        apart = true;
        // Step through both in time order until they meet again.
        if (j == after.size() || (i < before.size() && before[i].x < after[j].x)) {
            ++i;
        } else if (i == before.size() || after[j].x < before[i].x) {
            ++j;
        } else {
            ++i;
            ++j;
        }
    }
    if (apart) spans.push_back({shared, kInfinity});
    return spans;
}

std::vector<TrendSpan> changedSpans(const std::vector<TrendSpan>& before, const std::vector<TrendSpan>& after) {
    // A shaded stretch as a line from (from, 0) to (to, 1): where these lines differ, the shading does.
    const auto corners = [](const std::vector<TrendSpan>& stretches) {
        std::vector<TrendPoint> points;
        for (const TrendSpan& s : stretches) points.insert(points.end(), {{s.from, 0}, {s.to, 1}});
        return points;
    };
    return changedSpans(corners(before), corners(after));
}

}  // namespace tarn
