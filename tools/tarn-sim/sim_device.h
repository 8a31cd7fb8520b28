// One simulated TARN device on the management side: answers the discovery probe and, when its
// product's definitions were found, the get, set and reboot requests, from its own address. The
// fleet hands it the datagrams sent to it; its replies leave through the fleet's shared socket. A
// name or address set by a request is taken on when the device reboots, as a real device does.
#pragma once

#include <memory>

#include <QHostAddress>
#include <QObject>

#include "tarn-sim/fleet_config.h"
#include "tarn-sim/mgmt/sim_management.h"
#include "tarn-sim/net/datagram_sink.h"

namespace tarnsim {

class SimDevice : public QObject {
    Q_OBJECT
public:
    // `sink` sends the device's replies from its own address; it outlives the device.
    SimDevice(SimDeviceConfig config, DatagramSink& sink, QObject* parent = nullptr);

    const SimDeviceConfig& config() const { return config_; }
    // The name its probe reply carries: the fleet file's, until a reboot takes on a new one.
    const std::string& name() const { return name_; }
    // The device's own IPv4 address, host byte order.
    quint32 address() const { return address_; }
    // The fleet moves the device to an address it asked for (moveAsked).
    void setAddress(quint32 address) { address_ = address; }
    // Without one, management requests are ignored.
    void setManagement(std::unique_ptr<SimManagement> management) { management_ = std::move(management); }
    SimManagement* management() const { return management_.get(); }

    // A datagram addressed to this device, directly or by broadcast.
    void handleDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);

signals:
    // A reboot took on another "IP address"; the fleet moves the device there when it can.
    void moveAsked(quint32 address);

private:
    void answerProbe(const QHostAddress& to, quint16 port);
    void answerManagement(const QByteArray& data, const QHostAddress& to, quint16 port);

    void restart(const ManagementAnswer& answer);

    SimDeviceConfig config_;
    std::string name_;
    quint32 address_;
    DatagramSink& sink_;
    std::unique_ptr<SimManagement> management_;
};

}  // namespace tarnsim
