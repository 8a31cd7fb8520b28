#include "core/discovery/addressing.h"

#include <charconv>

namespace tarn {

SendDecision decideSend(const DeviceEntry& device, ManagementOperation operation,
                        const std::function<bool(const std::string& ip)>& onLocalSubnet) {
    SendDecision d;
    if (device.foundByTypedAddress) {
        d.address = device.ip;
        return d;
    }
    if (device.addressingKind == 2) {
        d.kind = SendDecision::Kind::Broadcast;
        d.address = device.broadcastAddress;
        return d;
    }
    if (operation != ManagementOperation::Get && (device.ip == "0.0.0.0" || !onLocalSubnet(device.ip))) {
        d.kind = SendDecision::Kind::Refused;
        d.refusal = "Can't send to " + device.ip;
        return d;
    }
    d.address = device.ip;
    return d;
}

std::optional<std::uint32_t> parseIPv4(const std::string& text) {
    std::uint32_t value = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != '.') return std::nullopt;
            ++p;
        }
        unsigned octet = 0;
        auto [next, ec] = std::from_chars(p, end, octet);
        if (ec != std::errc() || next == p || next - p > 3 || octet > 255) return std::nullopt;
        value = value << 8 | octet;
        p = next;
    }
    if (p != end) return std::nullopt;
    return value;
}

std::string formatIPv4(std::uint32_t a) {
    return std::to_string(a >> 24) + '.' + std::to_string(a >> 16 & 0xFF) + '.' + std::to_string(a >> 8 & 0xFF) + '.' +
           std::to_string(a & 0xFF);
}

bool isOnSubnetOf(std::uint32_t target, std::span<const InterfaceAddress> interfaces) {
    for (const auto& i : interfaces) {
        if ((i.address & i.netmask) == (target & i.netmask)) return true;
    }
    return false;
}

}  // namespace tarn
