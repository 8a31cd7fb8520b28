// The I/O link over TCP: connects asynchronously with a bounded wait, never blocking the event
// loop, and reports a peer close or a receive error once as a lost link.
#pragma once

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include "link/iolink/io_transport.h"

namespace tarn {

// How long a connection attempt may take before it counts as failed.
constexpr int kConnectTimeoutMs = 5000;

class TcpIoLink : public IoTransport {
    Q_OBJECT
public:
    explicit TcpIoLink(QObject* parent = nullptr);
    ~TcpIoLink() override;

    // Starts connecting; exactly one opened() or openFailed() follows, from the event loop.
    void connectToDevice(const QString& host, int port, int timeoutMs = kConnectTimeoutMs);

    bool isOpen() const override { return phase_ == Phase::Open; }
    bool writeBytes(const QByteArray& bytes) override;
    void close() override;

private:
    enum class Phase { Closed, Connecting, Open };

    void onConnected();
    void onReadyRead();
    void onSocketGone(const QString& reason);
    void fail(const QString& reason);
    void releaseSocket();

    Phase phase_ = Phase::Closed;
    bool insideConnect_ = false;
    unsigned attempt_ = 0;  // a deferred failure belongs to the attempt it was seen in
    QPointer<QTcpSocket> socket_;
    QTimer connectTimer_;
};

}  // namespace tarn
