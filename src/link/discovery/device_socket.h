// CDeviceSocket: a management datagram socket (the device list's probe socket, and the one under each
// ManagementLink that carries get, set and reboot).
// Bound to any IPv4 address on a system-chosen port. Every received datagram is handed to the owner
// as socketReceive(), one at a time: a datagram that arrives while the owner is still handling the
// previous one (for instance inside a modal message box) waits its turn instead of re-entering.
//
// The socket is read only inside its readyRead handler: Qt stops notifying a datagram socket whose
// readyRead handler found nothing to read, which is what happens when datagrams announced by a
// pending notification are read from elsewhere first. A handler that reads at least one datagram
// keeps the notifications coming, so what it leaves in the system's buffer brings readyRead again
// on the next pass of the event loop. Inside that handler the socket is also read after each
// handed-over datagram, because Qt does not signal readyRead again while a handler of it runs a
// nested event loop.
//
// A burst (100,000 devices answering one probe) is read and handed over a slice at a time: each
// readyRead spends at most kSliceNs, reading for at most half of it and handing over what was read
// in the rest, and the event loop runs between the slices, so the window keeps drawing. What was
// read and not yet handed over goes on from the event loop once the system's buffer is empty.
//
// Every datagram sent and received goes to the traffic log (traffic_sink.h), read as the owner's
// channel says: the tree's discovery, or the view's management requests (whose passwords are masked).
#pragma once

#include <cstddef>
#include <deque>

#include <QByteArray>
#include <QElapsedTimer>
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
    // What the system gave the socket for datagrams waiting to be read (Linux counts its own
    // bookkeeping in it: twice what was asked). create() asks for kReceiveBufferBytes.
    int receiveBufferBytes() const;
    static constexpr int kReceiveBufferBytes = 4 << 20;

    // The address a broadcast goes to: 255.255.255.255 unless the program was told otherwise.
    void setBroadcastAddress(const QHostAddress& address) { broadcastAddress_ = address; }
    QHostAddress broadcastAddress() const { return broadcastAddress_; }

    // Sends to a dotted address, or broadcasts when the address is empty. Returns false when the
    // address is not a dotted address or the datagram could not be handed to the system.
    bool sendTo(const QByteArray& bytes, quint16 port, const QString& address = {});

    // The longest stretch of reading and handing over in one go before the event loop runs again.
    static constexpr qint64 kSliceNs = 1'000'000;
    // The most datagrams read and not yet handed over: under a flood faster than the owner, the rest
    // is read and dropped, so that memory stays bounded.
    static constexpr std::size_t kMaxPending = 65536;

signals:
    void socketReceive(const tarn::Datagram& datagram);
    // A datagram larger than the socket's capacity was dropped unread.
    void datagramDropped(const QString& senderAddress, qint64 size);

private:
    void onReadyRead();
    // Hands over what was read until the slice has lasted kSliceNs.
    void handOver(const QElapsedTimer& slice);
    // Reads at least one pending datagram, and more until the slice has lasted `untilNs`.
    void readPending(const QElapsedTimer& slice, qint64 untilNs);
    void resumeLater();
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
