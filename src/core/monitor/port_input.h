// What the port dialogs share when they check a typed value before anything is sent: the outcome
// of a check (a message for the operator, or the text to write) and the reading of small numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The outcome of checking what the operator typed. Either `message` is set (show it, send
// nothing) or `value` holds the text to put into the configuration copy.
struct PortInputCheck {
    std::string_view message;
    std::string value;

    bool ok() const { return message.empty(); }
    bool operator==(const PortInputCheck&) const = default;
};

// `text` without the blanks (space, tab, CR, LF) at both ends.
std::string_view trimBlanks(std::string_view text);

// The decimal number in `text` (already trimmed) when it is made of digits only and lies in
// 0..`max`; nothing for an empty text, a sign, a stray character or a value above `max`.
std::optional<int> readBoundedNumber(std::string_view text, int max);

}  // namespace tarn
