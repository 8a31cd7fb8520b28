#include "link/discovery/management_link.h"

#include "core/manage/management_traffic.h"
#include "link/common/qt_bytes.h"
#include "link/common/traffic_sink.h"

namespace tarn {

ManagementLink::ManagementLink(QObject* parent)
    : QObject(parent), socket_(kReceiveCapacity, ManagementChannel::Management) {
    connect(&socket_, &CDeviceSocket::socketReceive, this, &ManagementLink::received);
}

bool ManagementLink::open() {
    if (!open_) open_ = socket_.create();
    return open_;
}

bool ManagementLink::send(const Bytes& request, const std::string& address) {
    if (!open()) return false;
    const QByteArray bytes(reinterpret_cast<const char*>(request.data()), static_cast<qsizetype>(request.size()));
    if (!socket_.sendTo(bytes, devicePort_, QString::fromStdString(address))) return false;
    gate_.noteSent(request, address);
    return true;
}

void ManagementLink::received(const Datagram& datagram) {
    const ByteView bytes = asBytes(datagram.data);
    const ReplyVerdict verdict = gate_.check(bytes, datagram.senderAddress.toStdString());
    if (verdict == ReplyVerdict::Accepted) {
        emit replyReceived(datagram.data);
        return;
    }
    noteIgnored(bytes, replyVerdictText(verdict));
}

void ManagementLink::noteIgnored(ByteView datagram, const std::string& why) {
    TrafficSink* sink = trafficSink();
    if (!sink) return;
    TrafficEntry e;
    e.timeMs = trafficNowMs();
    e.direction = TrafficDirection::Received;
    e.length = datagram.size();
    std::string summary =
        managementSummary(datagram, TrafficDirection::Received, ManagementChannel::Management, std::string());
    // The line of the datagram itself, just above, names the sender.
    if (const std::size_t from = summary.find("  from "); from != std::string::npos) summary.erase(from, 7);
    e.summary = "ignored (" + why + "): " + summary;
    e.bytes = maskManagementPasswords(datagram);
    sink->record(std::move(e));
}

}  // namespace tarn
