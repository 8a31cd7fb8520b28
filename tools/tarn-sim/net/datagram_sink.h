// Where a simulated device's datagrams leave: the fleet's shared socket, which sends each one from the
// device's own address, so that the receiver sees it come from that device.
#pragma once

#include <QByteArrayView>
#include <QHostAddress>

namespace tarnsim {

class DatagramSink {
public:
    // `from` is the device's IPv4 address in host byte order.
    virtual void sendFrom(quint32 from, QByteArrayView datagram, const QHostAddress& to, quint16 port) = 0;

protected:
    ~DatagramSink() = default;
};

}  // namespace tarnsim
