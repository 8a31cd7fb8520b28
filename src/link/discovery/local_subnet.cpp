#include "link/discovery/local_subnet.h"

#include <QNetworkInterface>

#include <vector>

#include "core/discovery/addressing.h"

namespace tarn {

bool IsOnLocalSubnet(const std::string& dottedIp) {
    const auto target = parseIPv4(dottedIp);
    if (!target) return false;
    std::vector<InterfaceAddress> addresses;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp)) continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
            addresses.push_back({entry.ip().toIPv4Address(), entry.netmask().toIPv4Address()});
        }
    }
    return isOnSubnetOf(*target, addresses);
}

}  // namespace tarn
