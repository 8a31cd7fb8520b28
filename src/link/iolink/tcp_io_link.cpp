#include "link/iolink/tcp_io_link.h"

#include "core/iolink/io_limits.h"

namespace tarn {

TcpIoLink::TcpIoLink(QObject* parent) : IoTransport(parent) {
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no connection within %1 ms").arg(connectTimer_.interval())); });
}

TcpIoLink::~TcpIoLink() { releaseSocket(); }

void TcpIoLink::connectToDevice(const QString& host, int port, int timeoutMs) {
    releaseSocket();
    phase_ = Phase::Connecting;
    if (port < 1 || port > 65535) {
        // Reported from the event loop like every other outcome.
        QTimer::singleShot(0, this, [this, port] { fail(QStringLiteral("invalid port %1").arg(port)); });
        return;
    }
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, &TcpIoLink::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &TcpIoLink::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this,
            [this] { onSocketGone(QStringLiteral("the device closed the connection")); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (socket_) onSocketGone(socket_->errorString());
    });
    connectTimer_.start(timeoutMs);
    // An unreachable network or a reject route fails inside connectToHost; that failure, too, is
    // reported from the event loop, after the caller has started waiting for it.
    insideConnect_ = true;
    socket_->connectToHost(host, static_cast<quint16>(port));
    insideConnect_ = false;
}

void TcpIoLink::onConnected() {
    if (phase_ != Phase::Connecting) return;
    connectTimer_.stop();
    phase_ = Phase::Open;
    // Frames are small and answered one at a time: send each at once.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit opened();
}

void TcpIoLink::onReadyRead() {
    // A link closed by a handler of an earlier chunk takes no more bytes.
    while (phase_ == Phase::Open && socket_ && socket_->bytesAvailable() > 0) {
        const QByteArray chunk = socket_->read(static_cast<qint64>(kMaxChunkBytes));
        if (chunk.isEmpty()) break;
        emit bytesReceived(chunk);
    }
}

void TcpIoLink::onSocketGone(const QString& reason) {
    if (phase_ == Phase::Connecting && insideConnect_) {
        QTimer::singleShot(0, this, [this, reason, attempt = attempt_] {
            if (attempt == attempt_) fail(reason);
        });
    } else if (phase_ == Phase::Connecting) {
        fail(reason);
    } else if (phase_ == Phase::Open) {
        // Bytes that came with the close still count.
        onReadyRead();
        if (phase_ != Phase::Open) return;
        phase_ = Phase::Closed;
        releaseSocket();
        emit linkLost(reason);
    }
}

void TcpIoLink::fail(const QString& reason) {
    if (phase_ != Phase::Connecting) return;
    connectTimer_.stop();
    phase_ = Phase::Closed;
    releaseSocket();
    emit openFailed(reason);
}

bool TcpIoLink::writeBytes(const QByteArray& bytes) {
    if (phase_ != Phase::Open || !socket_) return false;
    return socket_->write(bytes) == bytes.size();
}

void TcpIoLink::close() {
    connectTimer_.stop();
    phase_ = Phase::Closed;
    releaseSocket();
}

void TcpIoLink::releaseSocket() {
    ++attempt_;
    if (!socket_) return;
    // This may run inside one of the socket's own signals: cut it loose now, delete it later.
    QTcpSocket* s = socket_;
    socket_ = nullptr;
    s->disconnect(this);
    s->abort();
    s->deleteLater();
}

}  // namespace tarn
