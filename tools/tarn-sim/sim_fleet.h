// The simulated fleet: one SimDevice per fleet entry, each with its own loopback address. A handful of
// sockets serve them all, so a fleet of any size fits in the open-file limit: one UDP socket on the
// wildcard address carries every device's discovery and management datagrams (a datagram sent to a
// device's address reaches that device, a broadcast every device), and one TCP listener per I/O port
// serves the I/O side of every device on that port. With a data directory, each device also answers
// management requests from its product's definitions.
#pragma once

#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/io/sim_io_device.h"
#include "tarn-sim/io/sim_io_server.h"
#include "tarn-sim/mgmt/sim_definitions.h"
#include "tarn-sim/net/sim_datagram_socket.h"
#include "tarn-sim/sim_device.h"

namespace tarnsim {

class SimFleet : public QObject {
    Q_OBJECT
public:
    explicit SimFleet(FleetConfig config, QObject* parent = nullptr);

    // Where prodid.ini and the .dcf files lie; set before start(). Without it no device answers
    // management requests.
    void setDataDir(const QString& dir) { dataDir_ = dir; }

    // Serves every device on `port` (0: the system chooses one, which all devices share). A datagram
    // sent to `broadcastListen` (e.g. 127.255.255.255) reaches every device; with 0.0.0.0 (in a
    // network namespace) so does every datagram that is not sent to one device's own address.
    bool start(quint16 port, const QHostAddress& broadcastListen, QString* error);
    quint16 devicePort() const { return socket_.port(); }
    const std::vector<std::unique_ptr<SimDevice>>& devices() const { return devices_; }
    // The I/O side of each device that has one ("io" not false), in the order of devices().
    const std::vector<std::unique_ptr<SimIoDevice>>& ioDevices() const { return ioDevices_; }
    // One line per device that has no definitions and so ignores management requests.
    const QStringList& warnings() const { return warnings_; }

    // A broadcast reaches this many devices per millisecond since it arrived, so that a large
    // fleet's answers do not all arrive in one instant and overflow the receiver's buffer, and a
    // late timer does not slow the whole fleet down.
    static constexpr std::size_t kDevicesPerMs = 25;

signals:
    // Something a device could not do while the fleet runs (one line, no "warning:" in front).
    void warning(const QString& text);

private:
    void onDatagram(const QByteArray& data, const QHostAddress& sender, quint16 port, quint32 destination);
    void deliverBroadcast(const QByteArray& data, const QHostAddress& sender, quint16 port, std::size_t from,
                          const QElapsedTimer& since);
    bool startIo(const SimDeviceConfig& config, QString* error);
    SimIoServer* ioServerFor(quint16 port, quint32 address, QString* error);
    bool startManagement(SimDevice& device, SimDefinitions& definitions, quint16 ioPort, QString* error);
    // A device rebooted with another "IP address": it answers there from now on, its I/O link too,
    // when the address is one of this host's.
    void moveDevice(std::size_t index, quint32 to);

    FleetConfig config_;
    SimDatagramSocket socket_;
    std::vector<std::unique_ptr<SimIoServer>> ioServers_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::vector<std::unique_ptr<SimIoDevice>> ioDevices_;
    std::vector<SimIoDevice*> ioOf_;  // by index into devices_; null for a device without I/O
    // (address, index into devices_), sorted: the devices a datagram sent to an address reaches.
    std::vector<std::pair<quint32, std::size_t>> byAddress_;
    quint32 broadcastListen_ = 0;  // 0: every datagram not sent to a device's own address
    QString dataDir_;
    QStringList warnings_;
};

}  // namespace tarnsim
