// The duplicate test of discovery: the MAC texts of the devices already listed, looked up without
// regard to letter case in constant time, so that a fleet of thousands is not walked per reply.
// A text of six hexadecimal pairs is kept as its 48-bit number (so "0a" and "0A" meet); any other
// text, as its letters folded to one case. Each MAC keeps the number of its device (the order in
// which the devices were listed), so that a later reply of a listed device finds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarn {

class ListedMacs {
public:
    void clear();
    void add(std::string_view macText, int device = -1);
    // True when a listed MAC text equals this one, ignoring letter case (as equalsIgnoreCase).
    bool contains(std::string_view macText) const { return find(macText).has_value(); }
    // The device number given with the listed MAC text equal to this one.
    std::optional<int> find(std::string_view macText) const;
    std::size_t size() const { return numbers_.size() + others_.size(); }

private:
    static std::optional<std::uint64_t> number(std::string_view macText);

    std::unordered_map<std::uint64_t, int> numbers_;
    std::unordered_map<std::string, int> others_;  // folded to upper case
};

}  // namespace tarn
