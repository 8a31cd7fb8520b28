#include "core/monitor/trend_window.h"

#include <algorithm>
#include <cmath>

namespace tarn {

void TrendWindow::setExtent(std::int64_t firstMs, std::int64_t lastMs) {
    first_ = firstMs;
    last_ = std::max(firstMs, lastMs);
    if (following_) {
        follow();
    } else {
        place(from_, to_ - from_);
    }
}

void TrendWindow::follow() {
    following_ = true;
    const std::int64_t span = span_ > 0 ? span_ : std::max(kMinSpanMs, last_ - first_);
    from_ = last_ - span;
    to_ = last_;
}

void TrendWindow::place(std::int64_t from, std::int64_t span) {
    // Within the recording where it is wider than the span; the right end never passes the newest sample.
    from = std::min(from, last_ - span);
    from = std::max(from, std::min(first_, last_ - span));
    from_ = from;
    to_ = from + span;
}

void TrendWindow::zoom(double factor, std::int64_t anchorMs) {
    const std::int64_t old = to_ - from_;
    const std::int64_t widest = std::max(kMinSpanMs, last_ - first_);
    const auto span =
        std::clamp(static_cast<std::int64_t>(std::llround(static_cast<double>(old) * factor)), kMinSpanMs, widest);
    span_ = span >= widest ? 0 : span;
    if (following_) {
        follow();
        return;
    }
    anchorMs = std::clamp(anchorMs, from_, to_);
    const double at = old > 0 ? static_cast<double>(anchorMs - from_) / static_cast<double>(old) : 1.0;
    place(anchorMs - static_cast<std::int64_t>(std::llround(at * static_cast<double>(span))), span);
}

void TrendWindow::pan(std::int64_t deltaMs) {
    const std::int64_t span = to_ - from_;
    following_ = false;
    place(from_ + deltaMs, span);
    if (to_ >= last_) follow();
}

}  // namespace tarn
