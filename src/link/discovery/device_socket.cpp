#include "link/discovery/device_socket.h"

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
    // Only dotted addresses: every address the program sends to comes from a device reply or the
    // address control, and resolving a name here would hold up the window.
    QHostAddress target = broadcastAddress_;
    if (!address.isEmpty() && !target.setAddress(address)) return false;
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
