#include "tarn-sim/net/sim_datagram_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnsim {

namespace {

// All devices share this socket's receive buffer, so it is made large enough for a burst of requests
// to thousands of devices (root gets it whole; others get what net.core.rmem_max allows).
constexpr int kReceiveBufferBytes = 16 << 20;
// Larger than any UDP payload over IPv4 (65,507 bytes).
constexpr std::size_t kMaxDatagram = 65536;

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

SimDatagramSocket::SimDatagramSocket(QObject* parent) : QObject(parent) {}

SimDatagramSocket::~SimDatagramSocket() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

bool SimDatagramSocket::bind(quint16 port, QString* error) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (fd_ < 0 || ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        *error = QStringLiteral("cannot bind 0.0.0.0:%1: %2").arg(port).arg(systemError());
        return false;
    }
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes, sizeof kReceiveBufferBytes) != 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    socklen_t size = sizeof local;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
    port_ = ntohs(local.sin_port);
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SimDatagramSocket::readAll);
    return true;
}

void SimDatagramSocket::readAll() {
    QByteArray buffer(kMaxDatagram, Qt::Uninitialized);
    for (;;) {
        sockaddr_in sender{};
        iovec iov{buffer.data(), static_cast<std::size_t>(buffer.size())};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr msg{};
        msg.msg_name = &sender;
        msg.msg_namelen = sizeof sender;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: nothing is left
        }
        quint32 destination = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            destination = ntohl(info.ipi_addr.s_addr);
        }
        if (destination == 0 || (msg.msg_flags & MSG_TRUNC) || sender.sin_family != AF_INET) continue;
        emit received(QByteArray(buffer.constData(), n), QHostAddress(ntohl(sender.sin_addr.s_addr)),
                      ntohs(sender.sin_port), destination);
    }
}

void SimDatagramSocket::sendFrom(quint32 from, QByteArrayView datagram, const QHostAddress& to, quint16 port) {
    if (fd_ < 0) return;
    sockaddr_in receiver{};
    receiver.sin_family = AF_INET;
    receiver.sin_addr.s_addr = htonl(to.toIPv4Address());
    receiver.sin_port = htons(port);
    iovec iov{const_cast<char*>(datagram.data()), static_cast<std::size_t>(datagram.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))]{};
    msghdr msg{};
    msg.msg_name = &receiver;
    msg.msg_namelen = sizeof receiver;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(from);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    // Like a device's own socket: a datagram the system cannot take now is lost, never waited for.
    while (::sendmsg(fd_, &msg, MSG_DONTWAIT) < 0 && errno == EINTR) {
    }
}

}  // namespace tarnsim
