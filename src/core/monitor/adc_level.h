// The ADC dialog's rules: the switch level a port is given (four decimal digits, 0 to 1023) and
// the reference, one setting shared by the four ADC ports, chosen from a list of three.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/monitor/port_input.h"

namespace tarn {

constexpr int kMaxAdcLevel = 1023;

inline constexpr std::string_view kInputAdcLevelText = "Input ADC Level!";
inline constexpr std::string_view kAdcLevelLimitText = "Input Number Limit(0~1023)";

// The reference list, in order; item k stands for the `reference` character '0' + k.
inline constexpr std::array<std::string_view, 3> kAdcReferenceItems = {"Use Avcc", "Use inside", "Use outside"};

// `adcLevel` text of a level: "%04d" (7 gives "0007").
std::string adcLevelText(int level);

// The level edit of a "Switch" port before anything is sent: blank gives kInputAdcLevelText;
// anything but a decimal 0..kMaxAdcLevel gives kAdcLevelLimitText; otherwise the value is the
// `adcLevel` text to write.
PortInputCheck checkAdcLevelInput(std::string_view levelEdit);

// The list item that shows a `reference` read from the device, or -1 (nothing selected) when the
// character names none of them.
int adcReferenceIndex(char reference);

// The `reference` to write: the item the list shows, or, when it shows none because the device's
// reference names no item, the reference as it was read, so that a write never changes a setting
// the operator did not choose.
char adcReferenceToWrite(int selectedIndex, char readReference);

}  // namespace tarn
