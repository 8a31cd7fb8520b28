// The timed behaviour of an output port (delay on, delay off or pulse) as the output dialog shows
// and writes it. The device keeps it as `pulseText`: ten digits, the on time then the off time,
// each in 100-ms steps as "%05d%05d":
//
//   delay on  (on, 0)     "0001500000"      delay off  (0, off)   "0000000020"
//   pulse     (on, off)   "0001500003"      "0000000000" names no mode
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/monitor/port_input.h"

namespace tarn {

// The radio group of the dialog, in its order.
enum class DelayPulseMode : std::int32_t { DelayOn = 0, DelayOff = 1, Pulse = 2 };

// The longest time, in 100-ms steps, that the dialog writes (the time labels name it), and the
// width of one time in `pulseText`.
constexpr int kMaxDelayPulseTime = 5000;
constexpr std::size_t kDelayPulseTimeDigits = 5;

inline constexpr std::string_view kInputDelayOnTimeText = "Input Delay On Time !!";
inline constexpr std::string_view kInputDelayOffTimeText = "Input Delay Off Time !!";
inline constexpr std::string_view kInputPulseOnTimeText = "Input Pulse On Time !!";
inline constexpr std::string_view kInputPulseOffTimeText = "Input Pulse Off Time !!";
inline constexpr std::string_view kDelayPulseTimeLimitText = "Input Number Limit(0~5000)";

// What the dialog shows of the timed behaviour: the "Use Delay/Pulse" box, the mode and the four
// time edits (delay on, delay off, pulse on, pulse off) as their texts.
struct DelayPulseFields {
    bool used = false;
    DelayPulseMode mode = DelayPulseMode::DelayOn;
    std::string delayOnTime;
    std::string delayOffTime;
    std::string pulseOnTime;
    std::string pulseOffTime;

    bool operator==(const DelayPulseFields&) const = default;
};

// `pulseText` from two times of 0..99999 steps: "%05d%05d".
std::string formPulseText(int onTime, int offTime);

// The on and off times of a `pulseText`, five digits each with their leading zeros; a shorter text
// counts as left-padded with '0'. False for a text longer than ten characters or with a character
// that is not a digit: such a text names no times.
bool splitPulseText(std::string_view pulseText, std::string& onTime, std::string& offTime);

// Shows a setting read from the device over what `fields` showed. `pulseEnabled` 0 unticks the
// box and leaves the rest. Otherwise the box is ticked and the times choose the mode:
//   on only: "Delay On", delay on edit := on;   off only: "Delay Off", delay off edit := off;
//   both: "Pulse", pulse edits := on and off;   neither, or no times at all: mode and edits stay.
void showDelayPulse(std::int32_t pulseEnabled, std::string_view pulseText, DelayPulseFields& fields);

// The delay/pulse step of the write chain, before anything is sent. With the box unticked nothing
// is looked at: ok with an empty value, and `pulseEnabled` is written as 0. Otherwise the edits of
// the mode must not be blank or 0 (the kInput...TimeText of the first such one) and must hold at
// most kMaxDelayPulseTime (kDelayPulseTimeLimitText); the value is then the `pulseText` to write.
PortInputCheck checkDelayPulseInput(const DelayPulseFields& fields);

}  // namespace tarn
