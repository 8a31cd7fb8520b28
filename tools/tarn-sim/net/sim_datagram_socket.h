// The one UDP socket of the whole fleet: bound to the wildcard address on the device port, it learns
// from IP_PKTINFO which local address each datagram was sent to, and sends every reply from the
// address of the device that answers. One file serves any number of devices.
//
//   receive:  recvmsg  -> sender, payload, cmsg IP_PKTINFO { ipi_addr = header destination }
//   send:     sendmsg  <- receiver, payload, cmsg IP_PKTINFO { ipi_spec_dst = the device's address }
#pragma once

#include <memory>

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>

#include "tarn-sim/net/datagram_sink.h"

namespace tarnsim {

class SimDatagramSocket : public QObject, public DatagramSink {
    Q_OBJECT
public:
    explicit SimDatagramSocket(QObject* parent = nullptr);
    ~SimDatagramSocket() override;
    SimDatagramSocket(const SimDatagramSocket&) = delete;
    SimDatagramSocket& operator=(const SimDatagramSocket&) = delete;

    // Binds 0.0.0.0:port (0: the system chooses).
    bool bind(quint16 port, QString* error);
    quint16 port() const { return port_; }

    void sendFrom(quint32 from, QByteArrayView datagram, const QHostAddress& to, quint16 port) override;

signals:
    // A whole received datagram; `destination` is the address it was sent to (host byte order): a
    // device's own address, or a broadcast address.
    void received(const QByteArray& datagram, const QHostAddress& sender, quint16 senderPort, quint32 destination);

private:
    void readAll();

    int fd_ = -1;
    quint16 port_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tarnsim
