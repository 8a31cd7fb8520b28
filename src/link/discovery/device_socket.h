// CDeviceSocket: the management datagram socket one view owns (tree: discovery; view: get/set/reboot).
// Bound to any IPv4 address on a system-chosen port. Every received datagram is handed to the owner
// as socketReceive(), one at a time: a datagram that arrives while the owner is still handling the
// previous one (for instance inside a modal message box) waits its turn instead of re-entering.
//
// Reading and handing over are kept apart. The socket is read only inside its readyRead handler,
// always until nothing is pending: Qt stops notifying a datagram socket whose readyRead handler
// found nothing to read, which is what happens when datagrams announced by a pending notification
// are read from elsewhere first. Inside that handler the socket is also read after each handed-over
// datagram, because Qt does not signal readyRead again while a handler of it runs a nested event
// loop. Handing over is what is sliced: a burst (thousands of devices answering one probe) is
// handed over a few milliseconds at a time, with the event loop running between the slices, so
// the window keeps drawing.
//
// Every datagram sent and received goes to the traffic log (traffic_sink.h), read as the owner's
// channel says: the tree's discovery, or the view's management requests (whose passwords are masked).
#pragma once

#include <cstddef>
#include <deque>

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include "core/common/traffic_log.h"
#include "core/manage/management_traffic.h"

namespace tarn {

struct Datagram {
    QByteArray data;
    QString senderAddress;  // dotted text
    quint16 senderPort = 0;
    int interfaceIndex = 0;  // the interface it came in on; 0 when the system did not say
};

class CDeviceSocket : public QObject {
    Q_OBJECT
public:
    // receiveCapacity: the largest datagram this socket accepts; larger ones are dropped unread.
    CDeviceSocket(std::size_t receiveCapacity, ManagementChannel channel, QObject* parent = nullptr);

    // Binds the socket; false when that fails (the socket then sends and receives nothing).
    bool create();
    quint16 localPort() const { return socket_.localPort(); }

    // The address a broadcast goes to: 255.255.255.255 unless the program was told otherwise.
    void setBroadcastAddress(const QHostAddress& address) { broadcastAddress_ = address; }
    QHostAddress broadcastAddress() const { return broadcastAddress_; }

    // Sends to a dotted address, or broadcasts when the address is empty. Returns false when the
    // address is not a dotted address or the datagram could not be handed to the system.
    bool sendTo(const QByteArray& bytes, quint16 port, const QString& address = {});

    // The longest stretch handed to the owner in one go before the event loop runs again.
    static constexpr int kSliceMs = 8;

signals:
    void socketReceive(const tarn::Datagram& datagram);
    // A datagram larger than the socket's capacity was dropped unread.
    void datagramDropped(const QString& senderAddress, qint64 size);

private:
    void onReadyRead();
    // Hands over what was read, for at most kSliceMs; the rest from the event loop.
    void handOver();
    void readPending();
    void record(TrafficDirection direction, const QByteArray& bytes, const QHostAddress& peer, quint16 port) const;

    QUdpSocket socket_;
    std::size_t capacity_;
    ManagementChannel channel_;
    QHostAddress broadcastAddress_{QHostAddress::Broadcast};
    std::deque<Datagram> pending_;
    bool inReadyRead_ = false;
    bool handingOver_ = false;
    bool resumeQueued_ = false;
};

}  // namespace tarn
