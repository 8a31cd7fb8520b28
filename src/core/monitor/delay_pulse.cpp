// Showing and forming the timed behaviour of an output port.
#include "core/monitor/delay_pulse.h"

#include <cstdio>

namespace tarn {

namespace {

constexpr std::string_view kNoTime = "00000";

struct TimeEdit {
    std::string_view text;
    std::string_view blankMessage;
};

}  // namespace

std::string formPulseText(int onTime, int offTime) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%05d%05d", onTime, offTime);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool splitPulseText(std::string_view pulseText, std::string& onTime, std::string& offTime) {
    constexpr std::size_t width = 2 * kDelayPulseTimeDigits;
    if (pulseText.size() > width) return false;
    for (char c : pulseText) {
        if (c < '0' || c > '9') return false;
    }
    const std::string padded = std::string(width - pulseText.size(), '0') + std::string(pulseText);
    onTime = padded.substr(0, kDelayPulseTimeDigits);
    offTime = padded.substr(kDelayPulseTimeDigits);
    return true;
}

void showDelayPulse(std::int32_t pulseEnabled, std::string_view pulseText, DelayPulseFields& fields) {
    fields.used = pulseEnabled != 0;
    if (!fields.used) return;
    std::string on;
    std::string off;
    if (!splitPulseText(pulseText, on, off)) return;
    const bool hasOn = on != kNoTime;
    const bool hasOff = off != kNoTime;
    if (hasOn && hasOff) {
        fields.mode = DelayPulseMode::Pulse;
        fields.pulseOnTime = on;
        fields.pulseOffTime = off;
    } else if (hasOn) {
        fields.mode = DelayPulseMode::DelayOn;
        fields.delayOnTime = on;
    } else if (hasOff) {
        fields.mode = DelayPulseMode::DelayOff;
        fields.delayOffTime = off;
    }
}

PortInputCheck checkDelayPulseInput(const DelayPulseFields& fields) {
    if (!fields.used) return {};
    // The edits of the mode, on time first; a delay has only one of them.
    TimeEdit on{};
    TimeEdit off{};
    switch (fields.mode) {
        case DelayPulseMode::DelayOn:
            on = {trimBlanks(fields.delayOnTime), kInputDelayOnTimeText};
            break;
        case DelayPulseMode::DelayOff:
            off = {trimBlanks(fields.delayOffTime), kInputDelayOffTimeText};
            break;
        case DelayPulseMode::Pulse:
            on = {trimBlanks(fields.pulseOnTime), kInputPulseOnTimeText};
            off = {trimBlanks(fields.pulseOffTime), kInputPulseOffTimeText};
            break;
    }
    int times[2] = {0, 0};
    const TimeEdit* edits[2] = {&on, &off};
    for (const TimeEdit* edit : edits) {
        if (!edit->blankMessage.empty() && edit->text.empty()) return {edit->blankMessage, {}};
    }
    for (int i = 0; i < 2; ++i) {
        if (edits[i]->blankMessage.empty()) continue;
        const auto time = readBoundedNumber(edits[i]->text, kMaxDelayPulseTime);
        if (!time) return {kDelayPulseTimeLimitText, {}};
        // A time of 0 names no behaviour: the device would keep a pulse with a 0 as a delay, and
        // "0000000000" as no mode at all. It is refused like a blank time.
        if (*time == 0) return {edits[i]->blankMessage, {}};
        times[i] = *time;
    }
    return {{}, formPulseText(times[0], times[1])};
}

}  // namespace tarn
