// How a request reaches a device: unicast to its address, or broadcast with its MAC inside.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/discovery/device_entry.h"

namespace tarn {

enum class ManagementOperation { Get, Set, Reboot };

struct SendDecision {
    enum class Kind { Unicast, Broadcast, Refused } kind = Kind::Unicast;
    std::string address;  // Unicast: the device's IP text; Broadcast: its broadcastAddress (may be empty)
    std::string refusal;  // Refused: "Can't send to " + IP
};

// The device's tree texts decide: found by typed address -> unicast; addressing kind 2 -> broadcast;
// set and reboot refuse "0.0.0.0" and addresses off this host's subnets; otherwise unicast.
SendDecision decideSend(const DeviceEntry& device, ManagementOperation operation,
                        const std::function<bool(const std::string& ip)>& onLocalSubnet);

// Dotted IPv4 text to a number, first octet highest. Empty for anything that is not four numbers 0..255.
std::optional<std::uint32_t> parseIPv4(const std::string& text);
// And back: "a.b.c.d".
std::string formatIPv4(std::uint32_t address);

struct InterfaceAddress {
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
};

// True when the target lies in the subnet of any of the given interface addresses.
bool isOnSubnetOf(std::uint32_t target, std::span<const InterfaceAddress> interfaces);

}  // namespace tarn
