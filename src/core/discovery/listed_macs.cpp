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

void ListedMacs::add(std::string_view macText) {
    if (const auto n = number(macText))
        numbers_.insert(*n);
    else
        others_.insert(toUpperAscii(std::string(macText)));
}

bool ListedMacs::contains(std::string_view macText) const {
    if (const auto n = number(macText)) return numbers_.count(*n) > 0;
    return !others_.empty() && others_.count(toUpperAscii(std::string(macText))) > 0;
}

}  // namespace tarn
