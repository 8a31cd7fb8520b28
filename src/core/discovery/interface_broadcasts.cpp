#include "core/discovery/interface_broadcasts.h"

#include <algorithm>

namespace tarn {

namespace {

bool qualifies(const NetworkInterfaceInfo& i) { return i.up && !i.loopback && i.canBroadcast; }

// Masks of /31 and /32 leave no room for a broadcast address.
std::optional<std::uint32_t> broadcastOf(const InterfaceAddress& a) {
    if ((~a.netmask & 0xFFFFFFFFu) <= 1u) return std::nullopt;
    return a.address | ~a.netmask;
}

bool holds(const InterfaceAddress& a, std::uint32_t target) { return (a.address & a.netmask) == (target & a.netmask); }

}  // namespace

std::vector<std::uint32_t> directedBroadcasts(std::span<const NetworkInterfaceInfo> interfaces) {
    std::vector<std::uint32_t> out;
    for (const NetworkInterfaceInfo& i : interfaces) {
        if (!qualifies(i)) continue;
        for (const InterfaceAddress& a : i.ipv4) {
            const auto b = broadcastOf(a);
            if (b && std::find(out.begin(), out.end(), *b) == out.end()) out.push_back(*b);
        }
    }
    return out;
}

std::vector<std::uint32_t> probeDestinations(std::uint32_t broadcast, bool allInterfaces,
                                             std::span<const NetworkInterfaceInfo> interfaces) {
    std::vector<std::uint32_t> out{broadcast};
    if (!allInterfaces) return out;
    for (std::uint32_t b : directedBroadcasts(interfaces))
        if (b != broadcast) out.push_back(b);
    return out;
}

std::optional<std::uint32_t> replyInterfaceBroadcast(int interfaceIndex, std::uint32_t sender,
                                                     std::span<const NetworkInterfaceInfo> interfaces) {
    const auto pick = [&](const NetworkInterfaceInfo& i) -> std::optional<std::uint32_t> {
        std::optional<std::uint32_t> first;
        for (const InterfaceAddress& a : i.ipv4) {
            const auto b = broadcastOf(a);
            if (!b) continue;
            if (holds(a, sender)) return b;
            if (!first) first = b;
        }
        return first;
    };
    if (interfaceIndex > 0) {
        for (const NetworkInterfaceInfo& i : interfaces)
            if (i.index == interfaceIndex && qualifies(i))
                if (const auto b = pick(i)) return b;
    }
    for (const NetworkInterfaceInfo& i : interfaces) {
        if (!qualifies(i)) continue;
        for (const InterfaceAddress& a : i.ipv4)
            if (holds(a, sender)) return broadcastOf(a);
    }
    return std::nullopt;
}

}  // namespace tarn
