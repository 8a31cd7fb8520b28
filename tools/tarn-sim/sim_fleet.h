// The simulated fleet: one SimDevice per fleet entry, each on its own loopback address, plus one
// socket on the broadcast address that hands broadcast datagrams to every device.
#pragma once

#include <QObject>
#include <QUdpSocket>

#include <memory>
#include <vector>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/io/sim_io_device.h"
#include "tarn-sim/sim_device.h"

namespace tarnsim {

class SimFleet : public QObject {
    Q_OBJECT
public:
    explicit SimFleet(FleetConfig config, QObject* parent = nullptr);

    // Binds every device to `port` (0: the system chooses one for the first device, the others follow)
    // and listens for broadcasts on `broadcastListen` (e.g. 127.255.255.255, or 0.0.0.0 in a namespace).
    bool start(quint16 port, const QHostAddress& broadcastListen, QString* error);
    quint16 devicePort() const { return port_; }
    const std::vector<std::unique_ptr<SimDevice>>& devices() const { return devices_; }
    // The I/O side of each device, in the same order as devices().
    const std::vector<std::unique_ptr<SimIoDevice>>& ioDevices() const { return ioDevices_; }

private:
    void onBroadcast();
    bool startIo(const SimDeviceConfig& config, QString* error);

    FleetConfig config_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::vector<std::unique_ptr<SimIoDevice>> ioDevices_;
    QUdpSocket broadcastSocket_;
    quint16 port_ = 0;
};

}  // namespace tarnsim
