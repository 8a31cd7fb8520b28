#include "link/discovery/device_socket.h"

#include <QHostInfo>
#include <QLoggingCategory>
#include <QNetworkDatagram>

Q_LOGGING_CATEGORY(lcDeviceSocket, "tarn.link.devicesocket")

namespace tarn {

CDeviceSocket::CDeviceSocket(std::size_t receiveCapacity, QObject* parent)
    : QObject(parent), capacity_(receiveCapacity) {
    connect(&socket_, &QUdpSocket::readyRead, this, &CDeviceSocket::drain);
}

bool CDeviceSocket::create() {
    if (!socket_.bind(QHostAddress::AnyIPv4, 0)) {
        qCWarning(lcDeviceSocket) << "cannot bind:" << socket_.errorString();
        return false;
    }
    return true;
}

bool CDeviceSocket::sendTo(const QByteArray& bytes, quint16 port, const QString& address) {
    QHostAddress target = broadcastAddress_;
    if (!address.isEmpty()) {
        if (!target.setAddress(address)) {
            // A host name: resolved here, as the platform's send-to does.
            const QHostInfo info = QHostInfo::fromName(address);
            const auto addresses = info.addresses();
            auto it = std::find_if(addresses.begin(), addresses.end(),
                                   [](const QHostAddress& a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
            if (it == addresses.end()) return false;
            target = *it;
        }
    }
    return socket_.writeDatagram(bytes, target, port) == bytes.size();
}

void CDeviceSocket::readPending() {
    while (socket_.hasPendingDatagrams()) {
        const qint64 size = socket_.pendingDatagramSize();
        if (size < 0 || static_cast<std::size_t>(size) > capacity_) {
            socket_.receiveDatagram(0);  // discard: larger than any reply this socket expects
            continue;
        }
        const QNetworkDatagram d = socket_.receiveDatagram(size);
        bool ok = false;
        const QHostAddress v4(d.senderAddress().toIPv4Address(&ok));
        pending_.push_back(
            {d.data(), ok ? v4.toString() : d.senderAddress().toString(), static_cast<quint16>(d.senderPort())});
    }
}

void CDeviceSocket::drain() {
    readPending();
    if (dispatching_) return;  // the handler further up the stack delivers these when it returns
    dispatching_ = true;
    // A handler may run a nested event loop (a message box); Qt does not signal readyRead again
    // meanwhile, so whatever arrived is read here after each handler returns.
    while (!pending_.empty()) {
        const Datagram next = std::move(pending_.front());
        pending_.pop_front();
        emit socketReceive(next);
        readPending();
    }
    dispatching_ = false;
}

}  // namespace tarn
