#include "tarn-sim/sim_fleet.h"

#include <QNetworkDatagram>

namespace tarnsim {

SimFleet::SimFleet(FleetConfig config, QObject* parent) : QObject(parent), config_(std::move(config)) {
    connect(&broadcastSocket_, &QUdpSocket::readyRead, this, &SimFleet::onBroadcast);
}

bool SimFleet::start(quint16 port, const QHostAddress& broadcastListen, QString* error) {
    port_ = port;
    for (const SimDeviceConfig& c : config_.devices) {
        auto device = std::make_unique<SimDevice>(c, this);
        if (!device->bind(port_, error)) return false;
        port_ = device->port();
        devices_.push_back(std::move(device));
        if (!startIo(c, error)) return false;
    }
    if (!broadcastSocket_.bind(broadcastListen, port_, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("cannot listen for broadcasts on %1:%2: %3")
                     .arg(broadcastListen.toString())
                     .arg(port_)
                     .arg(broadcastSocket_.errorString());
        return false;
    }
    return true;
}

bool SimFleet::startIo(const SimDeviceConfig& c, QString* error) {
    auto io = parseSimIoConfig(c.raw, error);
    if (!io) {
        *error = QStringLiteral("device %1: %2").arg(QString::fromStdString(c.name), *error);
        return false;
    }
    auto device = std::make_unique<SimIoDevice>(QString::fromStdString(c.name), QHostAddress(c.address), *io, this);
    if (!device->start(error)) return false;
    ioDevices_.push_back(std::move(device));
    return true;
}

void SimFleet::onBroadcast() {
    while (broadcastSocket_.hasPendingDatagrams()) {
        const QNetworkDatagram d = broadcastSocket_.receiveDatagram();
        for (auto& device : devices_)
            device->handleDatagram(d.data(), d.senderAddress(), static_cast<quint16>(d.senderPort()));
    }
}

}  // namespace tarnsim
