// Where the probe goes when "Probe every network interface" is on. A datagram to 255.255.255.255
// leaves through the one interface the routing table picks, so the probe also goes to the directed
// broadcast address (address | ~netmask) of every IPv4 interface that is up, is not loopback and
// can broadcast. A device found that way is later reached by MAC-addressed broadcast on the
// interface its reply came in on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/discovery/addressing.h"

namespace tarn {

struct NetworkInterfaceInfo {
    int index = 0;  // the system's interface index
    std::string name;
    bool up = false;
    bool loopback = false;
    bool canBroadcast = false;
    std::vector<InterfaceAddress> ipv4;
};

// The directed broadcast address of each IPv4 address of each interface that qualifies, in the
// order given, each address once. Host routes (/31, /32) have none.
std::vector<std::uint32_t> directedBroadcasts(std::span<const NetworkInterfaceInfo> interfaces);

// Every destination of one probe: the broadcast address first, then, when allInterfaces, the
// directed broadcasts that differ from it.
std::vector<std::uint32_t> probeDestinations(std::uint32_t broadcast, bool allInterfaces,
                                             std::span<const NetworkInterfaceInfo> interfaces);

// The directed broadcast of the interface a reply came in on: the qualifying interface with that
// index (its address whose subnet holds the sender, else its first), or else the qualifying
// interface whose subnet holds the sender. Empty when none qualifies.
std::optional<std::uint32_t> replyInterfaceBroadcast(int interfaceIndex, std::uint32_t sender,
                                                     std::span<const NetworkInterfaceInfo> interfaces);

}  // namespace tarn
