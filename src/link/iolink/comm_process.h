// CCommProcess: the I/O command engine as the monitor window uses it. It owns the link (TCP or
// serial, behind IoTransport), the reply timer, and the plain engine (IoCommandEngine) that makes
// every decision; it turns link events into engine calls and engine reports into signals.
//
//   monitor ──ReadStatus(), SwitchOutput(), ...──▶ CCommProcess ──frames──▶ IoTransport ──▶ device
//   monitor ◀──ioResult(index, result), ioLinkLost()── CCommProcess ◀──bytes── IoTransport
//
// Opening: ConnectNetwork and OpenSerial both start an open and return at once; exactly one
// linkOpened() or openFailed(reason) follows from the event loop. Requests queued meanwhile are
// held: they go out when the link opens and fail (result 0) only if the open fails.
//
// After a time-out a TCP link is connected anew before the next request goes out, so that the
// device's late answer can never pass for that request's (docs/io-link.md); the owner hears
// nothing of it unless the new connection fails, which is a lost link (ioLinkLost).
//
// ioResult is emitted synchronously, once per request: `result` is the reply's result character
// ('0' = 48 is success, except for ChangeSettingMode whose success is '1'), or 0 when the request
// got no usable answer (time-out, bad checksum, fourth NAK, no link, or refused before sending:
// see IoRefusal and lastRefusal()). A slot connected directly may read status() and config() to see
// the update and may queue the next command, which is sent right after the slot returns. Do not
// delete the CCommProcess inside its own signals (use deleteLater).
#pragma once

#include <string>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "core/common/serial_settings.h"
#include "core/iolink/io_engine.h"
#include "core/iolink/io_requester.h"
#include "link/iolink/io_traffic_recorder.h"
#include "link/iolink/tcp_io_link.h"

namespace tarn {

class CSerialLinkWnd;

class Prompter;
class IoTransport;

class CCommProcess : public QObject, public IoRequester {
    Q_OBJECT
public:
    explicit CCommProcess(Prompter* prompter = nullptr, QObject* parent = nullptr, int replyTimeoutMs = kReplyTimeoutMs,
                          int connectTimeoutMs = kConnectTimeoutMs);
    ~CCommProcess() override;

    // Starts connecting to the device's I/O port, waiting at most connectTimeoutMs. False (and no
    // signal) when a link already exists: call Disconnect first.
    bool ConnectNetwork(const QString& host, int port);
    // Starts opening COM port `port` (see SerialPortMap) with the operator's settings; the outcome
    // comes as for ConnectNetwork. When the port cannot be opened the operator is told "The port
    // %d wasn't opened." before openFailed.
    bool OpenSerial(int port, unsigned baudRate, const QString& parity, int dataBits, int stopBits);
    bool OpenSerial(const SerialSettings& settings);
    // The same for a serial device given by path, without telling the operator.
    bool openSerialPath(const QString& path, const SerialSettings& settings);
    // Closes whichever link exists or is being opened; the request in flight and the queue are
    // dropped unreported, and no linkOpened/openFailed follows.
    void Disconnect();

    bool isConnected() const { return engine_.linkOpen(); }
    bool isOpening() const { return engine_.link() == IoCommandEngine::Link::Opening; }
    QString errorString() const { return error_; }

    // Queues a request built by IoRequests (the command set below in one call). False when its
    // builder refused it, or its payload is too long to send: it is then reported as failed
    // (result 0) in its turn.
    bool QueueRequest(const IoRequest& request) override;

    // The state blocks as the replies left them. Whether a block of the configuration was ever
    // read from the device is config().wasRead(block); the writes of a whole block refuse one
    // that was not.
    const IoConfig& config() const override { return engine_.config(); }
    const IoStatus& status() const override { return engine_.status(); }
    bool isPending(int index) const override { return engine_.isPending(index); }

    // The command set. Each returns false when its builder refused the request (a port outside
    // 1..10, a macro over kMaxMacroLength characters, a block never read); lastRefusal() says why
    // and ioRefusalText() words it for the operator. A refused request still gets its one result,
    // 0, from the event loop.
    bool ReadStatus();
    bool SwitchOutput(int port, int value);  // value 0: on
    bool ChangeSettingMode();
    bool ChangeRunMode();
    bool ReadEnableStatus();
    bool ReadPowerStoppage();
    bool ReadSerialFirmware();

    IoRefusal lastRefusal() const { return lastRefusal_; }

signals:
    void ioResult(int index, int result);
    void ioLinkLost();
    void linkOpened();
    void openFailed(const QString& reason);

private:
    void adopt(IoTransport* transport);
    bool startSerial(CSerialLinkWnd* link);
    void dropTransport();
    // After a time-out: a TCP link is connected anew (see IoCommandEngine); false for a serial line.
    bool reconnect();

    // What the engine asks of its surroundings, carried out by this object.
    class Host : public IoEngineHost {
    public:
        explicit Host(CCommProcess& owner) : owner_(owner) {}
        bool sendFrame(std::string_view frame) override;
        void startReplyTimer(int ms) override;
        void stopReplyTimer() override;
        void ioResult(int index, int result) override;
        void ioLinkLost() override;
        void rejectedReply(int index, std::string_view payload) override;
        bool restartLink() override;
        void lateReplyDropped(std::string_view frame) override;

    private:
        CCommProcess& owner_;
    };

    Prompter* prompter_;
    const int connectTimeoutMs_;
    Host host_{*this};
    IoCommandEngine engine_;
    QPointer<IoTransport> transport_;
    QTimer replyTimer_;
    QString error_;
    IoRefusal lastRefusal_ = IoRefusal::None;
    QString tcpHost_;  // the device of a TCP link, for connecting anew after a time-out
    int tcpPort_ = 0;
    bool reconnecting_ = false;  // the owner is not told of that connection: it is the same link
    IoTrafficRecorder traffic_;  // frames written and read, for the traffic log
};

}  // namespace tarn
