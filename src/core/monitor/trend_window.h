// The time span a trend chart shows. It starts with the whole recording and follows each new
// sample; zooming keeps the right end on the newest sample while following. Panning back into the
// past stops following (the view then stands still while polls come in); panning to the newest
// sample, or follow(), takes it up again.
#pragma once

#include <cstdint>

namespace tarn {

class TrendWindow {
public:
    // The narrowest span: a few polls at the shortest interval.
    static constexpr std::int64_t kMinSpanMs = 10'000;

    // The recording now reaches from `firstMs` to `lastMs`.
    void setExtent(std::int64_t firstMs, std::int64_t lastMs);
    // factor < 1 zooms in, > 1 out, around `anchorMs` (the time under the mouse), or around the newest
    // sample while following.
    void zoom(double factor, std::int64_t anchorMs);
    void pan(std::int64_t deltaMs);
    void follow();

    std::int64_t from() const { return from_; }
    std::int64_t to() const { return to_; }
    bool following() const { return following_; }
    // Nothing zoomed: the span is the whole recording, growing with it.
    bool showsAll() const { return span_ == 0; }

private:
    void place(std::int64_t from, std::int64_t span);

    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
    std::int64_t from_ = 0;
    std::int64_t to_ = kMinSpanMs;
    std::int64_t span_ = 0;  // 0: the whole recording
    bool following_ = true;
};

}  // namespace tarn
