// The I/O side of one simulated device: the device model served over TCP at the device's own
// loopback address and, on request, on a pseudo-terminal, with the fault knobs of its config. The
// fleet's listener for the device's port hands it the connections made to its address.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpSocket>

#include "core/iolink/io_device.h"
#include "core/iolink/io_framer.h"
#include "tarn-sim/io/sim_io_config.h"

namespace tarnsim {

class SimIoDevice : public QObject {
    Q_OBJECT
public:
    SimIoDevice(QString name, QHostAddress address, SimIoConfig config, QObject* parent = nullptr);
    ~SimIoDevice() override;

    // `port` is where the fleet's listener serves this device; opens the pseudo-terminal if asked.
    bool start(quint16 port, QString* error);
    const QString& name() const { return name_; }
    QHostAddress address() const { return address_; }
    // Only through SimIoServer::move, which serves the device at its new address.
    void setAddress(const QHostAddress& address) { address_ = address; }
    quint16 port() const { return port_; }
    // Takes over a connection made to the device's address and port.
    void serve(QTcpSocket* socket);
    // The slave side of the pseudo-terminal, empty when there is none.
    const QString& ptyPath() const { return ptyPath_; }
    tarn::IoDeviceModel& model() { return model_; }

private:
    // One conversation: a TCP connection or the pseudo-terminal.
    struct Channel {
        tarn::IoFramer framer;
        std::string nakFrame;  // the request being NAKed, and how often it has been
        int naks = 0;
        int replies = 0;
        bool silent = false;  // silentAfterSettingMode: the device has gone quiet
        std::function<void(const QByteArray&)> write;
        std::function<void()> close;
        QPointer<QObject> guard;  // gone when the conversation is
    };

    bool openPty(QString* error);
    void onPtyReadable();
    void handleBytes(const std::shared_ptr<Channel>& ch, const QByteArray& bytes);
    void handleFrame(const std::shared_ptr<Channel>& ch, std::string_view frame);
    void send(const std::shared_ptr<Channel>& ch, const std::string& bytes, bool closeAfterwards);

    QString name_;
    QHostAddress address_;
    SimIoConfig config_;
    tarn::IoDeviceModel model_;
    QElapsedTimer age_;  // since the device started: the time of its motion
    quint16 port_ = 0;
    int ptyMaster_ = -1;
    int ptySlave_ = -1;
    QString ptyPath_;
    std::unique_ptr<QSocketNotifier> ptyNotifier_;
    std::shared_ptr<Channel> ptyChannel_;
};

}  // namespace tarnsim
