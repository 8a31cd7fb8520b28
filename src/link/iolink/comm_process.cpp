#include "link/iolink/comm_process.h"

#include <utility>

#include <QLoggingCategory>

#include "link/iolink/serial_link.h"

// Information about connects and losses is off by default; the owner reports those itself.
Q_LOGGING_CATEGORY(lcIoLink, "tarn.iolink", QtWarningMsg)

namespace tarn {

CCommProcess::CCommProcess(Prompter* prompter, QObject* parent, int replyTimeoutMs, int connectTimeoutMs)
    : QObject(parent), prompter_(prompter), connectTimeoutMs_(connectTimeoutMs), engine_(host_, replyTimeoutMs) {
    replyTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early, failing a reply that comes at 2.9 s; a precise one
    // never fires before its time.
    replyTimer_.setTimerType(Qt::PreciseTimer);
    connect(&replyTimer_, &QTimer::timeout, this, [this] { engine_.onReplyTimeout(); });
}

CCommProcess::~CCommProcess() {
    // No signals from a half-destroyed object.
    if (transport_) transport_->disconnect(this);
}

bool CCommProcess::ConnectNetwork(const QString& host, int port) {
    if (transport_) return false;
    auto* link = new TcpIoLink(this);
    traffic_.setPeer(QStringLiteral("%1:%2").arg(host).arg(port));
    tcpHost_ = host;
    tcpPort_ = port;
    adopt(link);
    link->connectToDevice(host, port, connectTimeoutMs_);
    return true;
}

bool CCommProcess::reconnect() {
    if (!qobject_cast<TcpIoLink*>(transport_.data())) return false;
    qCInfo(lcIoLink) << "a reply timed out: connecting anew";
    dropTransport();
    auto* link = new TcpIoLink(this);
    reconnecting_ = true;
    adopt(link);
    link->connectToDevice(tcpHost_, tcpPort_, connectTimeoutMs_);
    return true;
}

bool CCommProcess::OpenSerial(int port, unsigned baudRate, const QString& parity, int dataBits, int stopBits) {
    // As the settings text reads: a parity or stop bits it does not know leave the default.
    SerialSettings s;
    s.port = port;
    s.baudRate = baudRate;
    if (parity == QLatin1String("n") || parity == QLatin1String("e") || parity == QLatin1String("o"))
        s.parity = parity.at(0).toLatin1();
    s.dataBits = dataBits;
    if (stopBits == 1 || stopBits == 2) s.stopBits = stopBits;
    return OpenSerial(s);
}

bool CCommProcess::OpenSerial(const SerialSettings& settings) {
    if (transport_) return false;
    auto* link = new CSerialLinkWnd(prompter_, this);
    link->SetPort(settings.port);
    traffic_.setPeer(QStringLiteral("COM%1").arg(settings.port));
    link->setSettings(settings);
    return startSerial(link);
}

bool CCommProcess::openSerialPath(const QString& path, const SerialSettings& settings) {
    if (transport_) return false;
    auto* link = new CSerialLinkWnd(nullptr, this);
    link->setPortPath(path);
    link->setSettings(settings);
    traffic_.setPeer(path);
    return startSerial(link);
}

bool CCommProcess::startSerial(CSerialLinkWnd* link) {
    adopt(link);
    // Opened from the event loop, as a TCP connect ends there: the caller's code after this call
    // runs first, and a port that a handler up the stack has just closed inside its own signal is
    // released before the device is opened again.
    QMetaObject::invokeMethod(
        link,
        [this, link] {
            if (transport_ == link) link->Open(true);
        },
        Qt::QueuedConnection);
    return true;
}

void CCommProcess::adopt(IoTransport* transport) {
    transport_ = transport;
    error_.clear();
    engine_.onLinkOpening();
    connect(transport, &IoTransport::opened, this, [this] {
        engine_.onLinkOpened();
        if (!std::exchange(reconnecting_, false)) emit linkOpened();
    });
    connect(transport, &IoTransport::openFailed, this, [this](const QString& reason) {
        error_ = reason;
        qCInfo(lcIoLink) << "open failed:" << reason;
        dropTransport();
        // Connecting anew after a time-out failed: to the owner, the link it had is lost.
        const bool anew = std::exchange(reconnecting_, false);
        if (anew) emit ioLinkLost();
        // The held requests fail from the event loop, after the owner has heard of the failure.
        engine_.onLinkOpenFailed();
        if (!anew) emit openFailed(reason);
    });
    connect(transport, &IoTransport::bytesReceived, this, [this](const QByteArray& bytes) {
        traffic_.received(bytes);
        engine_.onBytesReceived(std::string_view(bytes.constData(), bytes.size()));
    });
    connect(transport, &IoTransport::linkLost, this, [this](const QString& reason) {
        error_ = reason;
        qCInfo(lcIoLink) << "link lost:" << reason;
        engine_.onLinkLost();
    });
}

void CCommProcess::dropTransport() {
    if (!transport_) return;
    IoTransport* t = transport_;
    transport_ = nullptr;
    t->disconnect(this);
    t->close();
    // This may run inside one of the transport's own signals.
    t->deleteLater();
}

void CCommProcess::Disconnect() {
    dropTransport();
    reconnecting_ = false;
    tcpHost_.clear();
    engine_.onLinkClosed();
}

bool CCommProcess::QueueRequest(const IoRequest& request) {
    lastRefusal_ = request.refusal;
    if (request.refused()) {
        qCWarning(lcIoLink) << "request" << request.index << "refused:" << ioRefusalText(request.refusal).data();
    }
    return engine_.QueueRequest(request);
}

bool CCommProcess::ReadStatus() { return QueueRequest(IoRequests::ReadStatus()); }
bool CCommProcess::SwitchOutput(int port, int value) { return QueueRequest(IoRequests::SwitchOutput(port, value)); }
bool CCommProcess::ChangeSettingMode() { return QueueRequest(IoRequests::ChangeSettingMode()); }
bool CCommProcess::ChangeRunMode() { return QueueRequest(IoRequests::ChangeRunMode()); }
bool CCommProcess::ReadEnableStatus() { return QueueRequest(IoRequests::ReadEnableStatus()); }
bool CCommProcess::ReadPowerStoppage() { return QueueRequest(IoRequests::ReadPowerStoppage()); }
bool CCommProcess::ReadSerialFirmware() { return QueueRequest(IoRequests::ReadSerialFirmware()); }

bool CCommProcess::Host::sendFrame(std::string_view frame) {
    IoTransport* t = owner_.transport_;
    if (!t || !t->isOpen() || !t->writeBytes(QByteArray(frame.data(), static_cast<qsizetype>(frame.size()))))
        return false;
    owner_.traffic_.sent(frame);
    return true;
}

void CCommProcess::Host::startReplyTimer(int ms) { owner_.replyTimer_.start(ms); }
void CCommProcess::Host::stopReplyTimer() { owner_.replyTimer_.stop(); }
void CCommProcess::Host::ioResult(int index, int result) { emit owner_.ioResult(index, result); }
void CCommProcess::Host::ioLinkLost() { emit owner_.ioLinkLost(); }

bool CCommProcess::Host::restartLink() { return owner_.reconnect(); }

void CCommProcess::Host::lateReplyDropped(std::string_view frame) {
    qCInfo(lcIoLink) << "dropped the late reply of a request that timed out:"
                     << QByteArray(frame.data(), static_cast<qsizetype>(frame.size()));
}

void CCommProcess::Host::rejectedReply(int index, std::string_view payload) {
    qCWarning(lcIoLink) << "request" << index << "failed: the reply is not its command's, or is cut short:"
                        << QByteArray(payload.data(), static_cast<qsizetype>(payload.size()));
}

}  // namespace tarn
