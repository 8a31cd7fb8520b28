// One simulated TARN device on the management side: answers the discovery probe and, when its
// product's definitions were found, the get, set and reboot requests, from its own address.
#pragma once

#include <memory>

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/mgmt/sim_management.h"

namespace tarnsim {

class SimDevice : public QObject {
    Q_OBJECT
public:
    explicit SimDevice(SimDeviceConfig config, QObject* parent = nullptr);

    // Binds the device's own socket to its address and the device port (0: let the system choose).
    bool bind(quint16 port, QString* error);
    quint16 port() const { return socket_.localPort(); }
    const SimDeviceConfig& config() const { return config_; }
    // Without one, management requests are ignored.
    void setManagement(std::unique_ptr<SimManagement> management) { management_ = std::move(management); }
    SimManagement* management() const { return management_.get(); }

    // A datagram addressed to this device, directly or by broadcast.
    void handleDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);

private:
    void onReadyRead();
    void answerProbe(const QHostAddress& to, quint16 port);
    void answerManagement(const QByteArray& data, const QHostAddress& to, quint16 port);

    SimDeviceConfig config_;
    QUdpSocket socket_;
    std::unique_ptr<SimManagement> management_;
};

}  // namespace tarnsim
