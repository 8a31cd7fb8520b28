// CDeviceSocket: the management datagram socket one view owns (tree: discovery; view: get/set/reboot).
// Bound to any IPv4 address on a system-chosen port. Every received datagram is handed to the owner
// as socketReceive(), one at a time: a datagram that arrives while the owner is still handling the
// previous one (for instance inside a modal message box) waits its turn instead of re-entering.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include <cstddef>
#include <deque>

namespace tarn {

struct Datagram {
    QByteArray data;
    QString senderAddress;  // dotted text
    quint16 senderPort = 0;
};

class CDeviceSocket : public QObject {
    Q_OBJECT
public:
    // receiveCapacity: the largest datagram this socket accepts; larger ones are dropped unread.
    explicit CDeviceSocket(std::size_t receiveCapacity, QObject* parent = nullptr);

    // Binds the socket; false when that fails (the socket then sends and receives nothing).
    bool create();
    quint16 localPort() const { return socket_.localPort(); }

    // The address a broadcast goes to: 255.255.255.255 unless the program was told otherwise.
    void setBroadcastAddress(const QHostAddress& address) { broadcastAddress_ = address; }
    QHostAddress broadcastAddress() const { return broadcastAddress_; }

    // Sends to a dotted address, or broadcasts when the address is empty. Returns false when the
    // address is not a dotted address or the datagram could not be handed to the system.
    bool sendTo(const QByteArray& bytes, quint16 port, const QString& address = {});

signals:
    void socketReceive(const tarn::Datagram& datagram);

private:
    void drain();
    void readPending();

    QUdpSocket socket_;
    std::size_t capacity_;
    QHostAddress broadcastAddress_{QHostAddress::Broadcast};
    std::deque<Datagram> pending_;
    bool dispatching_ = false;
};

}  // namespace tarn
