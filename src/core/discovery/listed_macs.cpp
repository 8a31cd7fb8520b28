#include "core/discovery/listed_macs.h"

#include "core/common/text.h"

namespace tarn {

std::optional<std::uint64_t> ListedMacs::number(std::string_view t) {
    if (t.size() != 17) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 17; ++i) {
        const char c = t[i];
        if (i % 3 == 2) {
            if (c != ':') return std::nullopt;
            continue;
        }
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return value;
}

void ListedMacs::clear() {
    numbers_.clear();
    others_.clear();
}

void ListedMacs::add(std::string_view macText, int device) {
    if (const auto n = number(macText))
        numbers_.emplace(*n, device);
    else
        others_.emplace(toUpperAscii(std::string(macText)), device);
}

std::optional<int> ListedMacs::find(std::string_view macText) const {
    if (const auto n = number(macText)) {
        const auto it = numbers_.find(*n);
        return it == numbers_.end() ? std::nullopt : std::optional<int>(it->second);
    }
    if (others_.empty()) return std::nullopt;
    const auto it = others_.find(toUpperAscii(std::string(macText)));
    return it == others_.end() ? std::nullopt : std::optional<int>(it->second);
}

}  // namespace tarn
