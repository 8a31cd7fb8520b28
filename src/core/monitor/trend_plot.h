// What a trend chart draws of a recording. The lines hold only what the view shows, so that a day
// of polls draws as fast as a minute: the samples in the view and one beyond each edge; an ADC line
// keeps its lowest and highest value of each pixel column, an input its changes (a change is a
// step; more changes within one pixel column make one bar over the lane).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/iolink/io_state.h"

namespace tarn {

class IoHistory;
class TrendWindow;

struct TrendPoint {
    double x = 0;  // ms since the epoch
    double y = 0;  // an ADC value, or an input's lane value
    bool operator==(const TrendPoint&) const = default;
};

// The time span of the chart's axes, and the pixel columns in which a line keeps its lowest and
// highest value (column n spans [n * ms, (n + 1) * ms), so a column keeps its samples while the
// view moves).
struct TrendColumns {
    std::int64_t from = 0, to = 0;
    double ms = 1;
    double newest = 0;  // where the column of the newest sample starts
};

// The ADC lines first, then the inputs.
using TrendLines = std::array<std::vector<TrendPoint>, kIoAdcCount + kIoInputCount>;

// The columns of a view `width` pixels wide over `window` of the recording.
TrendColumns trendColumns(const IoHistory& history, const TrendWindow& window, int width);
TrendLines plotTrend(const IoHistory& history, const TrendColumns& view);

// A stretch of time, in ms since the epoch; either end may be infinite.
struct TrendSpan {
    double from = 0, to = 0;
    bool operator==(const TrendSpan&) const = default;
};

// The stretches of the view in which the polls brought no status (the link lost, no reply, the
// device in setting mode): from the first such poll to the next poll that did, or to the newest.
// Stretches less than a pixel column apart are one.
std::vector<TrendSpan> trendOutages(const IoHistory& history, const TrendColumns& view);

// Where a line drawn through `after` differs from one drawn through `before` (both in time order):
// each stretch from the last point they share before a difference to the first they share after
// it. A poll while following changes the newest column and, once the ring is full, the oldest;
// the columns between are left alone and need no painting.
std::vector<TrendSpan> changedSpans(const std::vector<TrendPoint>& before, const std::vector<TrendPoint>& after);
// Where shading over the stretches `after` differs from shading over `before`.
std::vector<TrendSpan> changedSpans(const std::vector<TrendSpan>& before, const std::vector<TrendSpan>& after);

}  // namespace tarn
