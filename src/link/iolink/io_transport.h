// The one interface the I/O command engine sees of a link: TCP and serial both implement it, so
// the engine never asks which transport it is on.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tarn {

class IoTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~IoTransport() override = default;

    virtual bool isOpen() const = 0;
    // Queues the bytes for sending without blocking; false when the link cannot take them.
    virtual bool writeBytes(const QByteArray& bytes) = 0;
    // Closes the link at the owner's request; no linkLost follows. Safe inside the link's own
    // signals: the socket or port is cut loose at once and deleted (a serial port also closed)
    // only once that signal has returned.
    virtual void close() = 0;

signals:
    // Received bytes, in chunks of at most kMaxChunkBytes.
    void bytesReceived(const QByteArray& bytes);
    // Exactly one of these ends each open attempt; CCommProcess delivers both from the event loop.
    void opened();
    void openFailed(const QString& reason);
    // The open link failed on its own (peer closed, receive error, device gone); emitted once.
    void linkLost(const QString& reason);
};

}  // namespace tarn
