// The duplicate test of discovery: the MAC texts of the devices already listed, looked up without
// regard to letter case in constant time, so that a fleet of thousands is not walked per reply.
// A text of six hexadecimal pairs is kept as its 48-bit number (so "0a" and "0A" meet); any other
// text, as its letters folded to one case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tarn {

class ListedMacs {
public:
    void clear();
    void add(std::string_view macText);
    // True when a listed MAC text equals this one, ignoring letter case (as equalsIgnoreCase).
    bool contains(std::string_view macText) const;
    std::size_t size() const { return numbers_.size() + others_.size(); }

private:
    static std::optional<std::uint64_t> number(std::string_view macText);

    std::unordered_set<std::uint64_t> numbers_;
    std::unordered_set<std::string> others_;  // folded to upper case
};

}  // namespace tarn
