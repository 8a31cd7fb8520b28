// One TCP listener on the wildcard address for the I/O side of every device that uses its port. A
// connection goes to the device whose address it was made to (the connection's local address); one
// made to any other address is closed at once.
#pragma once

#include <unordered_map>

#include <QObject>
#include <QTcpServer>

#include "tarn-sim/io/sim_io_device.h"

namespace tarnsim {

class SimIoServer : public QObject {
    Q_OBJECT
public:
    explicit SimIoServer(QObject* parent = nullptr);

    // Listens on 0.0.0.0:port (0: the system chooses).
    bool listen(quint16 port, QString* error);
    quint16 port() const { return server_.serverPort(); }
    // Whether the system chose the port (the devices asked for port 0).
    bool systemChosen() const { return systemChosen_; }
    bool serves(quint32 address) const { return devices_.count(address) != 0; }
    // Serves `device` at its address, which no other device here has (see serves()).
    void add(SimIoDevice& device);
    // Serves `device` at `to` from now on (its open connections go on); false, and nothing changes,
    // when it is not served here or another device is served at `to`.
    bool move(SimIoDevice& device, quint32 to);

private:
    void onNewConnection();

    QTcpServer server_;
    bool systemChosen_ = false;
    std::unordered_map<quint32, SimIoDevice*> devices_;  // by IPv4 address, host byte order
};

}  // namespace tarnsim
