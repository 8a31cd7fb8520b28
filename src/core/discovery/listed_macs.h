// The duplicate test of discovery: the MAC texts of the devices already listed, looked up without
// regard to letter case in constant time, so that a fleet of thousands is not walked per reply.
// A text of six hexadecimal pairs is kept as its 48-bit number (so "0a" and "0A" meet); any other
// text, as its letters folded to one case. Each MAC keeps the number of its device (the order in
// which the devices were listed), so that a later reply of a listed device finds it. The numbers sit in
// one flat table (open addressing): a probe of 100,000 devices adds one per reply, without a node to
// allocate or a chain to follow. The slot of a number is picked by a hash with a random multiplier of
// its own per table, so that replies with MACs chosen to collide cannot turn each look-up into a walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn {

class ListedMacs {
public:
    ListedMacs();
    void clear();
    void add(std::string_view macText, int device = -1);
    // True when a listed MAC text equals this one, ignoring letter case (as equalsIgnoreCase).
    bool contains(std::string_view macText) const { return find(macText).has_value(); }
    // The device number given with the listed MAC text equal to this one.
    std::optional<int> find(std::string_view macText) const;
    std::size_t size() const { return numberCount_ + others_.size(); }
    // The same by the MAC's 48-bit number (m1 highest), as the text of six hexadecimal pairs reads.
    void add(std::uint64_t mac, int device);
    std::optional<int> find(std::uint64_t mac) const;
    // The 48-bit number of a text of six hexadecimal pairs in either case, ':'-separated.
    static std::optional<std::uint64_t> number(std::string_view macText);

private:
    struct Slot {
        std::uint64_t mac = 0;
        int device = -1;
    };

    std::size_t slotOf(std::uint64_t mac) const;  // the MAC's slot, or the empty one where it belongs
    std::uint64_t hashOf(std::uint64_t mac) const { return (mac ^ offset_) * multiplier_; }
    static std::uint16_t tagOf(std::uint64_t hash) { return static_cast<std::uint16_t>(hash >> 16 | 1); }
    void grow();

    std::uint64_t multiplier_;         // odd, random
    std::uint64_t offset_;             // random
    int shift_ = 64;                   // 64 - log2 of the table size
    std::vector<std::uint16_t> tags_;  // per slot: 0 when empty, else 16 bits of its MAC's hash (never 0)
    std::vector<Slot> slots_;          // as many as tags_: a power of two, at most four fifths full
    std::size_t numberCount_ = 0;
    std::unordered_map<std::string, int> others_;  // folded to upper case
};

}  // namespace tarn
