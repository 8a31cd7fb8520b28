#include "tarn-sim/io/sim_io_server.h"

#include <sys/socket.h>

#include <QTcpSocket>

namespace tarnsim {

SimIoServer::SimIoServer(QObject* parent) : QObject(parent) {
    // Connections to thousands of devices may arrive at once, and all wait in this one queue.
    server_.setListenBacklogSize(SOMAXCONN);
    connect(&server_, &QTcpServer::newConnection, this, &SimIoServer::onNewConnection);
}

bool SimIoServer::listen(quint16 port, QString* error) {
    systemChosen_ = port == 0;
    if (server_.listen(QHostAddress::AnyIPv4, port)) return true;
    *error = QStringLiteral("cannot serve I/O on 0.0.0.0:%1: %2").arg(port).arg(server_.errorString());
    return false;
}

void SimIoServer::add(SimIoDevice& device) { devices_.emplace(device.address().toIPv4Address(), &device); }

bool SimIoServer::move(SimIoDevice& device, quint32 to) {
    const auto it = devices_.find(device.address().toIPv4Address());
    if (it == devices_.end() || it->second != &device || devices_.count(to)) return false;
    devices_.erase(it);
    device.setAddress(QHostAddress(to));
    devices_.emplace(to, &device);
    return true;
}

void SimIoServer::onNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        const auto it = devices_.find(socket->localAddress().toIPv4Address());
        if (it != devices_.end()) {
            it->second->serve(socket);
            continue;
        }
        socket->abort();
        socket->deleteLater();
    }
}

}  // namespace tarnsim
