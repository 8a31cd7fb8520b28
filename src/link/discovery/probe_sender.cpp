#include "link/discovery/probe_sender.h"

#include "core/common/bytes.h"
#include "core/discovery/addressing.h"
#include "core/discovery/management_message.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/network_interfaces.h"

namespace tarn {

ProbeSent sendDiscoveryProbe(CDeviceSocket& socket, quint16 port, const QString& typedAddress, bool allInterfaces) {
    const QByteArray probe = QByteArray::fromStdString(asText(discoveryProbe()));
    ProbeSent out;
    if (!typedAddress.isEmpty()) {
        out.sent = socket.sendTo(probe, port, typedAddress);
        return out;
    }
    if (allInterfaces) out.interfaces = networkInterfaces();
    for (std::uint32_t to : probeDestinations(socket.broadcastAddress().toIPv4Address(), allInterfaces, out.interfaces))
        out.sent = socket.sendTo(probe, port, QString::fromStdString(formatIPv4(to))) || out.sent;
    return out;
}

std::string replyBroadcastAddress(const Datagram& reply, const std::vector<NetworkInterfaceInfo>& interfaces) {
    if (interfaces.empty()) return {};
    const auto sender = parseIPv4(reply.senderAddress.toStdString());
    const auto broadcast = replyInterfaceBroadcast(reply.interfaceIndex, sender.value_or(0), interfaces);
    return broadcast ? formatIPv4(*broadcast) : std::string();
}

}  // namespace tarn
