#include "core/discovery/listed_macs.h"

#include <algorithm>
#include <array>
#include <bit>
#include <random>

#include "core/common/text.h"

namespace tarn {

namespace {

// The value of each hexadecimal digit, 0xFF for every other byte: two lookups per reply in a burst.
constexpr std::array<std::uint8_t, 256> kHexValue = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(0xFF);
    for (int c = 0; c < 10; ++c) table[static_cast<std::size_t>('0' + c)] = static_cast<std::uint8_t>(c);
    for (int c = 0; c < 6; ++c) {
        table[static_cast<std::size_t>('a' + c)] = static_cast<std::uint8_t>(10 + c);
        table[static_cast<std::size_t>('A' + c)] = static_cast<std::uint8_t>(10 + c);
    }
    return table;
}();

}  // namespace

ListedMacs::ListedMacs() {
    std::random_device random;
    auto draw = [&] { return std::uint64_t{random()} << 32 ^ random(); };
    multiplier_ = draw() | 1;
    offset_ = draw();
}

std::optional<std::uint64_t> ListedMacs::number(std::string_view t) {
    if (t.size() != 17) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 17; i += 3) {
        const std::uint8_t high = kHexValue[static_cast<unsigned char>(t[i])];
        const std::uint8_t low = kHexValue[static_cast<unsigned char>(t[i + 1])];
        if ((high | low) > 15 || (i < 15 && t[i + 2] != ':')) return std::nullopt;
        value = value << 8 | static_cast<std::uint64_t>(high << 4 | low);
    }
    return value;
}

std::size_t ListedMacs::slotOf(std::uint64_t mac) const {
    // Multiply-shift with a random odd multiplier: two MACs share a first slot with a chance of about
    // two in the table's size, whichever MACs they are; the top bits of the product spread the MACs
    // of one vendor (equal high bytes) over the whole table. Middle bits make the tag.
    const std::uint64_t hash = hashOf(mac);
    const std::size_t mask = tags_.size() - 1;
    const std::uint16_t tag = tagOf(hash);
    std::size_t i = static_cast<std::size_t>(hash >> shift_);
    // A slot's number is read only when its tag matches: a new MAC is told from the listed ones by the
    // tags alone, which stay in the processor's caches where the slots of 100,000 MACs would not.
    while (tags_[i] != 0 && (tags_[i] != tag || slots_[i].mac != mac)) i = (i + 1) & mask;
    return i;
}

void ListedMacs::grow() {
    const std::vector<std::uint16_t> oldTags = std::move(tags_);
    const std::vector<Slot> old = std::move(slots_);
    tags_.assign(std::max<std::size_t>(64, oldTags.size() * 2), 0);
    slots_.resize(tags_.size());
    shift_ = 64 - std::countr_zero(tags_.size());
    for (std::size_t k = 0; k < old.size(); ++k) {
        if (oldTags[k] == 0) continue;
        const std::size_t i = slotOf(old[k].mac);
        tags_[i] = oldTags[k];
        slots_[i] = old[k];
    }
}

void ListedMacs::clear() {
    // The table goes back to the system: after a flood it would hold millions of slots.
    tags_ = {};
    slots_ = {};
    shift_ = 64;
    numberCount_ = 0;
    others_ = {};
}

void ListedMacs::add(std::string_view macText, int device) {
    if (const auto n = number(macText)) {
        add(*n, device);
        return;
    }
    others_.emplace(toUpperAscii(std::string(macText)), device);
}

void ListedMacs::add(std::uint64_t mac, int device) {
    if (4 * tags_.size() < 5 * (numberCount_ + 1)) grow();  // at most four fifths full
    const std::size_t i = slotOf(mac);
    if (tags_[i] != 0) return;  // listed already: the first device keeps it
    tags_[i] = tagOf(hashOf(mac));
    slots_[i] = {mac, device};
    ++numberCount_;
}

std::optional<int> ListedMacs::find(std::uint64_t mac) const {
    if (tags_.empty()) return std::nullopt;
    const std::size_t i = slotOf(mac);
    return tags_[i] == 0 ? std::nullopt : std::optional<int>(slots_[i].device);
}

std::optional<int> ListedMacs::find(std::string_view macText) const {
    if (const auto n = number(macText)) return find(*n);
    if (others_.empty()) return std::nullopt;
    const auto it = others_.find(toUpperAscii(std::string(macText)));
    return it == others_.end() ? std::nullopt : std::optional<int>(it->second);
}

}  // namespace tarn
