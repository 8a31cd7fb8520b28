#include "link/discovery/device_socket.h"

#include <sys/socket.h>

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNetworkDatagram>

#include "core/discovery/probe_reply.h"
#include "core/manage/management_traffic.h"
#include "link/common/qt_bytes.h"
#include "link/common/traffic_sink.h"

Q_LOGGING_CATEGORY(lcDeviceSocket, "tarn.link.devicesocket")

namespace tarn {

CDeviceSocket::CDeviceSocket(std::size_t receiveCapacity, ManagementChannel channel, QObject* parent)
    : QObject(parent), capacity_(receiveCapacity), channel_(channel) {
    connect(&socket_, &QUdpSocket::readyRead, this, &CDeviceSocket::onReadyRead);
}

bool CDeviceSocket::create() {
    if (!socket_.bind(QHostAddress::AnyIPv4, 0)) {
        qCWarning(lcDeviceSocket) << "cannot bind:" << socket_.errorString();
        return false;
    }
    // Room for a large fleet's answers to one probe while the window is busy. net.core.rmem_max caps
    // it, except for a program allowed to go past it (root), which gets it whole as tarn-sim does.
    const int fd = static_cast<int>(socket_.socketDescriptor());
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof kReceiveBufferBytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    if (receiveBufferBytes() < kReceiveBufferBytes)
        qCInfo(lcDeviceSocket) << "receive buffer capped at" << receiveBufferBytes() << "bytes by net.core.rmem_max";
    return true;
}

int CDeviceSocket::receiveBufferBytes() const {
    int bytes = 0;
    socklen_t size = sizeof bytes;
    const int fd = static_cast<int>(socket_.socketDescriptor());
    return ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, &size) == 0 ? bytes : 0;
}

bool CDeviceSocket::sendTo(const QByteArray& bytes, quint16 port, const QString& address) {
    // Only dotted addresses: every address the program sends to comes from a device reply or the
    // address control, and resolving a name here would hold up the window.
    QHostAddress target = broadcastAddress_;
    if (!address.isEmpty() && !target.setAddress(address)) return false;
    const bool sent = socket_.writeDatagram(bytes, target, port) == bytes.size();
    if (sent) record(TrafficDirection::Sent, bytes, target, port);
    return sent;
}

void CDeviceSocket::record(TrafficDirection direction, const QByteArray& bytes, const QHostAddress& peer,
                           quint16 port) const {
    TrafficSink* sink = trafficSink();
    if (!sink) return;
    const ByteView view = asBytes(bytes);
    TrafficEntry e;
    e.timeMs = trafficNowMs();
    e.direction = direction;
    e.peer = trafficPeer(peer, port);
    e.length = view.size();
    e.summary = managementSummary(view, direction, channel_, e.peer.substr(0, e.peer.rfind(':')));
    // The probe and its replies carry no credentials; every other datagram may.
    e.bytes =
        channel_ == ManagementChannel::Management ? maskManagementPasswords(view) : Bytes(view.begin(), view.end());
    sink->record(std::move(e));
}

void CDeviceSocket::readPending(const QElapsedTimer& slice, qint64 untilNs) {
    for (bool first = true; socket_.hasPendingDatagrams(); first = false) {
        if (!first && slice.nsecsElapsed() >= untilNs) return;  // the rest brings readyRead again
        const qint64 size = socket_.pendingDatagramSize();
        if (size < 0 || static_cast<std::size_t>(size) > capacity_) {
            // Discarded: larger than any reply this socket expects.
            const QNetworkDatagram dropped = socket_.receiveDatagram(0);
            bool ok = false;
            const QHostAddress v4(dropped.senderAddress().toIPv4Address(&ok));
            emit datagramDropped(ok ? v4.toString() : dropped.senderAddress().toString(), size);
            continue;
        }
        const QNetworkDatagram d = socket_.receiveDatagram(size);
        if (pending_.size() >= kMaxPending) continue;
        bool ok = false;
        const QHostAddress v4(d.senderAddress().toIPv4Address(&ok));
        record(TrafficDirection::Received, d.data(), d.senderAddress(), static_cast<quint16>(d.senderPort()));
        pending_.push_back({d.data(), ok ? v4.toString() : d.senderAddress().toString(),
                            static_cast<quint16>(d.senderPort()), static_cast<int>(d.interfaceIndex())});
    }
}

void CDeviceSocket::onReadyRead() {
    const bool outer = !inReadyRead_;
    inReadyRead_ = true;
    QElapsedTimer slice;
    slice.start();
    readPending(slice, kSliceNs / 2);
    handOver(slice);
    if (outer) inReadyRead_ = false;
}

void CDeviceSocket::resumeLater() {
    if (resumeQueued_) return;
    resumeQueued_ = true;
    // That call only hands over: it never reads, so no notification Qt has already announced finds
    // an empty socket.
    QMetaObject::invokeMethod(
        this,
        [this] {
            resumeQueued_ = false;
            QElapsedTimer slice;
            slice.start();
            handOver(slice);
        },
        Qt::QueuedConnection);
}

void CDeviceSocket::handOver(const QElapsedTimer& slice) {
    if (handingOver_) return;  // the handler further up the stack hands these over when it returns
    handingOver_ = true;
    while (!pending_.empty()) {
        if (slice.nsecsElapsed() >= kSliceNs) {
            // The rest once the event loop has run: from the next readyRead while the system still
            // holds datagrams, else from a call of its own.
            if (!socket_.hasPendingDatagrams()) resumeLater();
            break;
        }
        const Datagram next = std::move(pending_.front());
        pending_.pop_front();
        emit socketReceive(next);
        // A handler that ran a nested event loop inside readyRead left what arrived meanwhile
        // unannounced: read it now, still inside readyRead.
        if (inReadyRead_ && socket_.hasPendingDatagrams()) {
            QElapsedTimer now;
            now.start();
            readPending(now, 0);
        }
    }
    handingOver_ = false;
}

}  // namespace tarn
