// One simulated TARN device on the management side: answers the discovery probe from its own address.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include "tarn-sim/fleet_config.h"

namespace tarnsim {

class SimDevice : public QObject {
    Q_OBJECT
public:
    explicit SimDevice(SimDeviceConfig config, QObject* parent = nullptr);

    // Binds the device's own socket to its address and the device port (0: let the system choose).
    bool bind(quint16 port, QString* error);
    quint16 port() const { return socket_.localPort(); }
    const SimDeviceConfig& config() const { return config_; }

    // A datagram addressed to this device, directly or by broadcast.
    void handleDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);

private:
    void onReadyRead();
    void answerProbe(const QHostAddress& to, quint16 port);

    SimDeviceConfig config_;
    QUdpSocket socket_;
};

}  // namespace tarnsim
