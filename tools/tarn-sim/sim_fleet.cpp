#include "tarn-sim/sim_fleet.h"

#include <algorithm>

#include <QNetworkDatagram>
#include <QTimer>

namespace tarnsim {

SimFleet::SimFleet(FleetConfig config, QObject* parent) : QObject(parent), config_(std::move(config)) {
    connect(&broadcastSocket_, &QUdpSocket::readyRead, this, &SimFleet::onBroadcast);
}

bool SimFleet::start(quint16 port, const QHostAddress& broadcastListen, QString* error) {
    port_ = port;
    std::unique_ptr<SimDefinitions> definitions;
    if (!dataDir_.isEmpty()) {
        QString folder = dataDir_;
        if (!folder.endsWith('/')) folder += '/';
        definitions = std::make_unique<SimDefinitions>(folder.toStdString());
    }
    for (const SimDeviceConfig& c : config_.devices) {
        auto device = std::make_unique<SimDevice>(c, this);
        if (!device->bind(port_, error)) return false;
        port_ = device->port();
        if (c.io && !startIo(c, error)) return false;
        const quint16 ioPort = c.io ? ioDevices_.back()->port() : 0;
        if (definitions && !startManagement(*device, *definitions, ioPort, error)) return false;
        devices_.push_back(std::move(device));
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

bool SimFleet::startManagement(SimDevice& device, SimDefinitions& definitions, quint16 ioPort, QString* error) {
    const SimDeviceConfig& c = device.config();
    const QString name = QString::fromStdString(c.name);
    const DefinitionLookup found = definitions.find(c.productId, c.major, c.minor);
    if (!found.set) {
        warnings_ << QStringLiteral("device %1: %2; it ignores management requests")
                         .arg(name, QString::fromStdString(found.problem));
        return true;
    }
    const DeviceIdentity identity{c.name, c.address.toStdString(), ioPort, c.mac, c.user, c.password, c.major, c.minor};
    SimParameters parameters(found.set, found.order, identity);
    tarn::Credentials credentials{c.user, c.password};
    for (const auto& [key, text] : c.params) {
        std::string why;
        if (!parameters.setText(key, text, &why)) {
            *error = QStringLiteral("device %1: parameter \"%2\": %3")
                         .arg(name, QString::fromStdString(key), QString::fromStdString(why));
            return false;
        }
    }
    // A fleet entry that sets the credential records directly sets what the device accepts.
    for (const tarn::ParameterRecord& r : found.set->records) {
        const int kind = credentialRecordKind(r.id);
        const bool overridden = std::any_of(c.params.begin(), c.params.end(),
                                            [&](const auto& p) { return p.first == r.id || p.first == r.name; });
        if (kind == 1 && overridden) credentials.id = parameters.text(r.id);
        if (kind == 2 && overridden) credentials.password = parameters.text(r.id);
    }
    device.setManagement(std::make_unique<SimManagement>(std::move(parameters), c, std::move(credentials)));
    return true;
}

void SimFleet::onBroadcast() {
    while (broadcastSocket_.hasPendingDatagrams()) {
        const QNetworkDatagram d = broadcastSocket_.receiveDatagram();
        QElapsedTimer since;
        since.start();
        deliverBroadcast(d.data(), d.senderAddress(), static_cast<quint16>(d.senderPort()), 0, since);
    }
}

void SimFleet::deliverBroadcast(const QByteArray& data, const QHostAddress& sender, quint16 port, std::size_t from,
                                const QElapsedTimer& since) {
    const std::size_t due = static_cast<std::size_t>(since.elapsed() + 1) * kDevicesPerMs;
    const std::size_t end = std::min(std::max(due, from), devices_.size());
    for (std::size_t i = from; i < end; ++i) devices_[i]->handleDatagram(data, sender, port);
    if (end < devices_.size())
        QTimer::singleShot(1, this, [=, this] { deliverBroadcast(data, sender, port, end, since); });
}

}  // namespace tarnsim
