#include "link/discovery/local_subnet.h"

#include <vector>

#include "core/discovery/addressing.h"
#include "link/discovery/network_interfaces.h"

namespace tarn {

bool IsOnLocalSubnet(const std::string& dottedIp) {
    const auto target = parseIPv4(dottedIp);
    if (!target) return false;
    std::vector<InterfaceAddress> addresses;
    for (const NetworkInterfaceInfo& iface : networkInterfaces()) {
        if (iface.up) addresses.insert(addresses.end(), iface.ipv4.begin(), iface.ipv4.end());
    }
    return isOnSubnetOf(*target, addresses);
}

}  // namespace tarn
