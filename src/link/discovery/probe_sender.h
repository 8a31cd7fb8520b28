// Sending the discovery probe, shared by the device tree and `tarnctl probe`: to the typed address
// (Quick Connect), or to the broadcast address and, with "Probe every network interface", to the
// directed broadcast of every interface that qualifies (core/discovery/interface_broadcasts.h).
#pragma once

#include <string>
#include <vector>

#include <QString>

#include "core/discovery/interface_broadcasts.h"

namespace tarn {

class CDeviceSocket;
struct Datagram;

struct ProbeSent {
    bool sent = false;  // at least one destination took the probe
    // The interfaces the probe went out on, for placing the replies; empty unless allInterfaces.
    std::vector<NetworkInterfaceInfo> interfaces;
};

ProbeSent sendDiscoveryProbe(CDeviceSocket& socket, quint16 port, const QString& typedAddress, bool allInterfaces);

// Where MAC-addressed requests to the device whose probe reply this is are broadcast: the directed
// broadcast of the interface the reply came in on, when the probe went to every interface; empty
// (the usual broadcast address) otherwise.
std::string replyBroadcastAddress(const Datagram& reply, const std::vector<NetworkInterfaceInfo>& interfaces);

}  // namespace tarn
