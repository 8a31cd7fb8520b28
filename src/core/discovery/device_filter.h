// The filter typed above the device list: a pattern matched without regard to letter case. `*`
// stands for any run of characters and `?` for exactly one; a pattern without either matches
// anywhere inside a text ("pump" finds "Pump-House-3"), one with them matches whole texts
// ("10.1.2.*", "Pump-?").
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class DeviceFilter {
public:
    DeviceFilter() = default;
    explicit DeviceFilter(std::string_view pattern);

    // An empty (or blank) pattern lets everything through.
    bool empty() const { return pattern_.empty(); }
    bool matches(std::string_view text) const;

private:
    std::string pattern_;  // '*' at both ends when typed without wildcards
};

}  // namespace tarn
