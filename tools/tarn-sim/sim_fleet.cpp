#include "tarn-sim/sim_fleet.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>

namespace tarnsim {

namespace {

// The whole of 127/8 is this host's; any other device address must be one of its interfaces (inside
// a network namespace), or nothing sent to it would arrive.
bool isLocalAddress(quint32 address) {
    if (address >> 24 == 127) return true;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    if (fd >= 0) ::close(fd);
    return bound;
}

}  // namespace

SimFleet::SimFleet(FleetConfig config, QObject* parent) : QObject(parent), config_(std::move(config)) {
    connect(&socket_, &SimDatagramSocket::received, this, &SimFleet::onDatagram);
}

bool SimFleet::start(quint16 port, const QHostAddress& broadcastListen, QString* error) {
    broadcastListen_ = broadcastListen.toIPv4Address();
    if (!socket_.bind(port, error)) return false;
    std::unique_ptr<SimDefinitions> definitions;
    if (!dataDir_.isEmpty()) {
        QString folder = dataDir_;
        if (!folder.endsWith('/')) folder += '/';
        definitions = std::make_unique<SimDefinitions>(folder.toStdString());
    }
    devices_.reserve(config_.devices.size());
    byAddress_.reserve(config_.devices.size());
    ioOf_.reserve(config_.devices.size());
    for (const SimDeviceConfig& c : config_.devices) {
        auto device = std::make_unique<SimDevice>(c, socket_, this);
        if (!isLocalAddress(device->address())) {
            *error = QStringLiteral("%1: cannot serve %2: it is not an address of this host")
                         .arg(QString::fromStdString(c.name), c.address);
            return false;
        }
        if (c.io && !startIo(c, error)) return false;
        const quint16 ioPort = c.io ? ioDevices_.back()->port() : 0;
        if (definitions && !startManagement(*device, *definitions, ioPort, error)) return false;
        const std::size_t index = devices_.size();
        connect(device.get(), &SimDevice::moveAsked, this, [this, index](quint32 to) { moveDevice(index, to); });
        byAddress_.emplace_back(device->address(), index);
        ioOf_.push_back(c.io ? ioDevices_.back().get() : nullptr);
        devices_.push_back(std::move(device));
    }
    std::sort(byAddress_.begin(), byAddress_.end());
    return true;
}

bool SimFleet::startIo(const SimDeviceConfig& c, QString* error) {
    auto io = parseSimIoConfig(c.raw, error);
    if (!io) {
        *error = QStringLiteral("device %1: %2").arg(QString::fromStdString(c.name), *error);
        return false;
    }
    if (config_.fixedClock) io->moving = false;
    auto device = std::make_unique<SimIoDevice>(QString::fromStdString(c.name), QHostAddress(c.address), *io, this);
    SimIoServer* server = ioServerFor(static_cast<quint16>(io->port), device->address().toIPv4Address(), error);
    if (!server) {
        *error = QStringLiteral("device %1: %2").arg(QString::fromStdString(c.name), *error);
        return false;
    }
    server->add(*device);
    if (!device->start(server->port(), error)) return false;
    ioDevices_.push_back(std::move(device));
    return true;
}

// The listener of the port a device asks for. Devices that let the system choose share one port,
// each on its own address; a device whose address is taken there gets the next such listener.
SimIoServer* SimFleet::ioServerFor(quint16 port, quint32 address, QString* error) {
    for (const auto& server : ioServers_) {
        const bool fits = port == 0 ? server->systemChosen() : server->port() == port;
        if (fits && !server->serves(address)) return server.get();
        if (fits && port != 0) {
            *error = QStringLiteral("cannot serve I/O on %1:%2: another device is served there")
                         .arg(QHostAddress(address).toString())
                         .arg(port);
            return nullptr;
        }
    }
    auto server = std::make_unique<SimIoServer>(this);
    if (!server->listen(port, error)) return nullptr;
    ioServers_.push_back(std::move(server));
    return ioServers_.back().get();
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
    if (config_.fixedClock) parameters.stopClock();
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

void SimFleet::moveDevice(std::size_t index, quint32 to) {
    SimDevice& device = *devices_[index];
    const QString name = QString::fromStdString(device.name());
    if (!isLocalAddress(to)) {
        emit warning(QStringLiteral("device %1: cannot move to %2: it is not an address of this host; it goes on "
                                    "answering at %3")
                         .arg(name, QHostAddress(to).toString(), QHostAddress(device.address()).toString()));
        return;
    }
    if (SimIoDevice* io = ioOf_[index]) {
        const bool moved = std::any_of(ioServers_.begin(), ioServers_.end(),
                                       [&](const auto& server) { return server->move(*io, to); });
        if (!moved)
            emit warning(QStringLiteral("device %1: another device serves I/O at %2; its I/O link stays at %3")
                             .arg(name, QHostAddress(to).toString(), io->address().toString()));
    }
    const std::pair<quint32, std::size_t> from(device.address(), index);
    byAddress_.erase(std::lower_bound(byAddress_.begin(), byAddress_.end(), from));
    const std::pair<quint32, std::size_t> at(to, index);
    byAddress_.insert(std::lower_bound(byAddress_.begin(), byAddress_.end(), at), at);
    device.setAddress(to);
}

void SimFleet::onDatagram(const QByteArray& data, const QHostAddress& sender, quint16 port, quint32 destination) {
    const auto [first, last] =
        std::equal_range(byAddress_.begin(), byAddress_.end(), std::pair<quint32, std::size_t>(destination, 0),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    if (first != last) {
        // A device that reboots moves while it handles the datagram: the devices are taken first.
        std::vector<std::size_t> reached;
        for (auto it = first; it != last; ++it) reached.push_back(it->second);
        for (std::size_t index : reached) devices_[index]->handleDatagram(data, sender, port);
        return;
    }
    if (broadcastListen_ != 0 && destination != broadcastListen_) return;
    QElapsedTimer since;
    since.start();
    deliverBroadcast(data, sender, port, 0, since);
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
