#include "link/discovery/network_interfaces.h"

#include <QNetworkInterface>

namespace tarn {

std::vector<NetworkInterfaceInfo> networkInterfaces() {
    std::vector<NetworkInterfaceInfo> out;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        NetworkInterfaceInfo info;
        info.index = iface.index();
        info.name = iface.name().toStdString();
        info.up = iface.flags().testFlag(QNetworkInterface::IsUp);
        info.loopback = iface.flags().testFlag(QNetworkInterface::IsLoopBack);
        info.canBroadcast = iface.flags().testFlag(QNetworkInterface::CanBroadcast);
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
            info.ipv4.push_back({entry.ip().toIPv4Address(), entry.netmask().toIPv4Address()});
        }
        out.push_back(std::move(info));
    }
    return out;
}

}  // namespace tarn
