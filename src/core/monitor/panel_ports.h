// The 26 ports of the monitor panel as drawn circles: their kinds, display states, places in the
// 755 x 529 picture, the legend, and how a device's status report maps onto them.
//
//   outputs 1..10   left 167 + 53(n-1)   top  41      legend icon k   left 45 + 90k   top 489
//   ADC     1..4    left 248 + 27(n-1)   top 336      every circle is 18 x 18; edges hit
//   inputs  1..12   left 356 + 27(n-1)   top 336
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/iolink/io_state.h"

namespace tarn {

enum class PortKind : std::int32_t { Output = 0, Adc = 1, Input = 2 };

enum class DisplayState : std::int32_t {
    Disabled = 0,
    On = 1,
    Off = 2,
    DelayOn = 3,
    DelayOff = 4,
    Macro = 5,
    Pulse = 6
};

constexpr int kPanelWidth = 755;
constexpr int kPanelHeight = 529;
constexpr int kPortDiameter = 18;
constexpr int kLegendCount = 7;

struct PortIndicator {
    PortKind kind = PortKind::Output;
    int number = 0;           // from 1
    bool levelShown = false;  // ADC only: the level value is drawn as a label
    std::string label;        // ADC only: the level value
    int left = 0;
    int right = 0;  // left + 18
    int top = 0;
    int bottom = 0;  // top + 18
    DisplayState state = DisplayState::Disabled;
    // The state shown is the device's: a status reply set it, or the configuration disabled the
    // port. A port never read is drawn as unknown, never as Off.
    bool known = false;

    bool contains(int x, int y) const { return left <= x && x <= right && top <= y && y <= bottom; }
    // Whether the level label is drawn (an ADC port with a level, in a state other than Disabled).
    bool showsLevel() const { return kind == PortKind::Adc && levelShown && state != DisplayState::Disabled; }
    // Drawn as unknown (grey, with a tip): enabled, or not known to be disabled, and never read.
    bool unknown() const { return !known; }
    bool operator==(const PortIndicator&) const = default;
};

struct PortRef {
    PortKind kind = PortKind::Output;
    int number = 0;
    bool operator==(const PortRef&) const = default;
};

// The panel's ports: outputs and inputs start Disabled, the ADC ports Off, all of them unknown.
struct PanelPorts {
    std::array<PortIndicator, kIoOutputCount> outputs;
    std::array<PortIndicator, kIoAdcCount> adcPorts;
    std::array<PortIndicator, kIoInputCount> inputs;

    PanelPorts();
    bool operator==(const PanelPorts&) const = default;

    // The first port under the point: outputs, then ADC ports, then inputs.
    std::optional<PortRef> portAt(int x, int y) const;
    // The first output under the point.
    const PortIndicator* outputAt(int x, int y) const;

    // A good status report: enabled outputs and inputs, and every ADC port, take the state it names
    // and are known from then on; states it does not name leave the port as it was.
    void applyStatus(const IoStatus& status);
    // A good configuration report: a port the device has disabled shows Disabled (known), a Disabled
    // port it has enabled shows Off but stays unknown until a status reads it, others keep their state.
    void applyEnables(const IoConfig& config);
    // Every output and input shown Off but unknown (the configuration could not be read).
    void showAllOff();
    // Nothing shown is the device's any more (the link was lost).
    void forget();
};

// The legend: the sample icons in order and the word left of each.
struct LegendEntry {
    DisplayState state;
    std::string_view word;
    int wordX;
};
inline constexpr int kLegendWordY = 492;
inline constexpr std::string_view kUnknownPortTip = "Not read from the device: its state is unknown";
inline constexpr std::array<LegendEntry, kLegendCount> kLegend = {{
    {DisplayState::On, "On:", 26},
    {DisplayState::Off, "Off:", 116},
    {DisplayState::Disabled, "Disable:", 185},
    {DisplayState::Macro, "Macro:", 271},
    {DisplayState::DelayOn, "Delay On:", 356},
    {DisplayState::DelayOff, "Delay Off:", 446},
    {DisplayState::Pulse, "Pulse:", 554},
}};
std::array<PortIndicator, kLegendCount> legendIcons();

}  // namespace tarn
