// The simulated fleet: one SimDevice per fleet entry, each on its own loopback address, plus one
// socket on the broadcast address that hands broadcast datagrams to every device. With a data
// directory, each device also answers management requests from its product's definitions.
#pragma once

#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/io/sim_io_device.h"
#include "tarn-sim/mgmt/sim_definitions.h"
#include "tarn-sim/sim_device.h"

namespace tarnsim {

class SimFleet : public QObject {
    Q_OBJECT
public:
    explicit SimFleet(FleetConfig config, QObject* parent = nullptr);

    // Where prodid.ini and the .dcf files lie; set before start(). Without it no device answers
    // management requests.
    void setDataDir(const QString& dir) { dataDir_ = dir; }

    // Binds every device to `port` (0: the system chooses one for the first device, the others follow)
    // and listens for broadcasts on `broadcastListen` (e.g. 127.255.255.255, or 0.0.0.0 in a namespace).
    bool start(quint16 port, const QHostAddress& broadcastListen, QString* error);
    quint16 devicePort() const { return port_; }
    const std::vector<std::unique_ptr<SimDevice>>& devices() const { return devices_; }
    // The I/O side of each device that has one ("io" not false), in the order of devices().
    const std::vector<std::unique_ptr<SimIoDevice>>& ioDevices() const { return ioDevices_; }
    // One line per device that has no definitions and so ignores management requests.
    const QStringList& warnings() const { return warnings_; }

    // A broadcast reaches this many devices per millisecond since it arrived, so that a large
    // fleet's answers do not all arrive in one instant and overflow the receiver's buffer, and a
    // late timer does not slow the whole fleet down.
    static constexpr std::size_t kDevicesPerMs = 25;

private:
    void onBroadcast();
    void deliverBroadcast(const QByteArray& data, const QHostAddress& sender, quint16 port, std::size_t from,
                          const QElapsedTimer& since);
    bool startIo(const SimDeviceConfig& config, QString* error);
    bool startManagement(SimDevice& device, SimDefinitions& definitions, quint16 ioPort, QString* error);

    FleetConfig config_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::vector<std::unique_ptr<SimIoDevice>> ioDevices_;
    QUdpSocket broadcastSocket_;
    quint16 port_ = 0;
    QString dataDir_;
    QStringList warnings_;
};

}  // namespace tarnsim
