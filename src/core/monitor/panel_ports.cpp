#include "core/monitor/panel_ports.h"

namespace tarn {

namespace {

PortIndicator place(PortKind kind, int number, int left, int top, DisplayState state) {
    PortIndicator p;
    p.kind = kind;
    p.number = number;
    p.left = left;
    p.right = left + kPortDiameter;
    p.top = top;
    p.bottom = top + kPortDiameter;
    p.state = state;
    return p;
}

// The state an output shows for a status code; nothing for codes that mean "no change".
std::optional<DisplayState> outputState(PortStateCode code) {
    switch (code) {
        case PortStateCode::On:
            return DisplayState::On;
        case PortStateCode::Off:
            return DisplayState::Off;
        case PortStateCode::DelayOn:
            return DisplayState::DelayOn;
        case PortStateCode::DelayOff:
            return DisplayState::DelayOff;
        case PortStateCode::Macro:
            return DisplayState::Macro;
        case PortStateCode::Pulse:
            return DisplayState::Pulse;
        default:
            return std::nullopt;
    }
}

template <std::size_t N>
const PortIndicator* firstAt(const std::array<PortIndicator, N>& ports, int x, int y) {
    for (const PortIndicator& p : ports)
        if (p.contains(x, y)) return &p;
    return nullptr;
}

}  // namespace

PanelPorts::PanelPorts() {
    for (int n = 1; n <= kIoOutputCount; ++n)
        outputs[n - 1] = place(PortKind::Output, n, 167 + 53 * (n - 1), 41, DisplayState::Disabled);
    for (int n = 1; n <= kIoAdcCount; ++n)
        adcPorts[n - 1] = place(PortKind::Adc, n, 248 + 27 * (n - 1), 336, DisplayState::Off);
    for (int n = 1; n <= kIoInputCount; ++n)
        inputs[n - 1] = place(PortKind::Input, n, 356 + 27 * (n - 1), 336, DisplayState::Disabled);
}

std::optional<PortRef> PanelPorts::portAt(int x, int y) const {
    for (const PortIndicator* p : {firstAt(outputs, x, y), firstAt(adcPorts, x, y), firstAt(inputs, x, y)})
        if (p) return PortRef{p->kind, p->number};
    return std::nullopt;
}

const PortIndicator* PanelPorts::outputAt(int x, int y) const { return firstAt(outputs, x, y); }

void PanelPorts::applyStatus(const IoStatus& status) {
    for (int i = 0; i < kIoOutputCount; ++i) {
        PortIndicator& p = outputs[i];
        if (p.state == DisplayState::Disabled) continue;
        if (auto s = outputState(status.output[i])) {
            p.state = *s;
            p.known = true;
        }
    }
    for (int i = 0; i < kIoAdcCount; ++i) {
        PortIndicator& p = adcPorts[i];
        switch (status.adc[i].code) {
            case PortStateCode::On:
                p.state = DisplayState::On;
                p.levelShown = false;
                p.known = true;
                break;
            case PortStateCode::OnWithLevel:
                p.state = DisplayState::On;
                p.levelShown = true;
                p.label = status.adc[i].value;
                p.known = true;
                break;
            case PortStateCode::Off:
                p.state = DisplayState::Off;
                p.levelShown = false;
                p.known = true;
                break;
            default:
                break;
        }
    }
    for (int i = 0; i < kIoInputCount; ++i) {
        PortIndicator& p = inputs[i];
        if (p.state == DisplayState::Disabled) continue;
        if (status.input[i] != PortStateCode::On && status.input[i] != PortStateCode::Off) continue;
        p.state = status.input[i] == PortStateCode::On ? DisplayState::On : DisplayState::Off;
        p.known = true;
    }
}

void PanelPorts::applyEnables(const IoConfig& config) {
    auto apply = [](PortIndicator& p, bool enabled) {
        if (!enabled) {
            p.state = DisplayState::Disabled;
            p.known = true;
        } else if (p.state == DisplayState::Disabled) {
            p.state = DisplayState::Off;
            p.known = false;
        }
    };
    for (int i = 0; i < kIoOutputCount; ++i) apply(outputs[i], config.outputEnable[i] != 0);
    for (int i = 0; i < kIoInputCount; ++i) apply(inputs[i], config.inputEnable[i] != 0);
}

void PanelPorts::showAllOff() {
    for (PortIndicator& p : outputs) p.state = DisplayState::Off;
    for (PortIndicator& p : inputs) p.state = DisplayState::Off;
    forget();
}

void PanelPorts::forget() {
    for (PortIndicator& p : outputs) p.known = false;
    for (PortIndicator& p : adcPorts) p.known = false;
    for (PortIndicator& p : inputs) p.known = false;
}

std::array<PortIndicator, kLegendCount> legendIcons() {
    std::array<PortIndicator, kLegendCount> icons;
    for (int k = 0; k < kLegendCount; ++k)
        icons[k] = place(PortKind::Output, k + 1, 45 + 90 * k, 489, kLegend[k].state);
    for (PortIndicator& icon : icons) icon.known = true;
    return icons;
}

}  // namespace tarn
