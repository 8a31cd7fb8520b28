// ManagementLink: the management datagram link of one user of the protocol (the window's parameter
// view, the window's device jobs, tarnctl's device and fleet commands). It owns the socket, sends the
// requests, and passes a received datagram on only when the ReplyGate takes it: from the device
// asked, for a request outstanding, with the command's own reply code. What it drops is counted and
// shown in the Traffic window and by --trace as "ignored (reason)".
#pragma once

#include <cstddef>
#include <string>

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include "core/common/bytes.h"
#include "core/discovery/management_message.h"
#include "core/discovery/reply_gate.h"
#include "link/discovery/device_socket.h"

namespace tarn {

class ManagementLink : public QObject {
    Q_OBJECT
public:
    // The largest management reply taken; larger datagrams are dropped unread.
    static constexpr std::size_t kReceiveCapacity = 1500;

    explicit ManagementLink(QObject* parent = nullptr);

    // Binds the socket (on first use, when not called before); false when that fails.
    bool open();
    void setDevicePort(quint16 port) { devicePort_ = port; }
    // Where a request to a MAC-addressed device goes.
    void setBroadcastAddress(const QHostAddress& address) { socket_.setBroadcastAddress(address); }

    // Sends a request to the device at a dotted address, or broadcasts it (a MAC-addressed device)
    // when the address is empty; its reply is then awaited. False when it could not be sent.
    bool send(const Bytes& request, const std::string& address);

    // A datagram that changed nothing (a reply that came after its operation was over): shown in
    // the traffic log as ignored, with the reason.
    static void noteIgnored(ByteView datagram, const std::string& why);

    const ReplyGate& gate() const { return gate_; }

signals:
    // A reply the gate took; handled before the next datagram is read.
    void replyReceived(const QByteArray& datagram);

private:
    void received(const Datagram& datagram);

    CDeviceSocket socket_;
    ReplyGate gate_;
    quint16 devicePort_ = kDevicePort;
    bool open_ = false;
};

}  // namespace tarn
