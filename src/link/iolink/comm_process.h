// CCommProcess: the I/O command engine as the monitor window uses it. It owns the link (TCP or
// serial, behind IoTransport), the reply timer, and the plain engine (IoCommandEngine) that makes
// every decision; it turns link events into engine calls and engine reports into signals.
//
//   monitor ──ReadStatus(), SwitchOutput(), ...──▶ CCommProcess ──frames──▶ IoTransport ──▶ device
//   monitor ◀──ioResult(index, result), ioLinkLost()── CCommProcess ◀──bytes── IoTransport
//
// ioResult is emitted synchronously, once per request: `result` is the reply's result character
// ('0' = 48 is success, except for ChangeSettingMode whose success is '1'), or 0 when the request
// got no usable answer (time-out, bad checksum, fourth NAK, or no link). A slot connected directly
// may call GetStatus/GetConfig to see the update and may queue the next command, which is sent
// right after the slot returns. Do not delete the CCommProcess inside its own signals (use
// deleteLater).
#pragma once

#include <string>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "core/iolink/io_engine.h"
#include "core/iolink/serial_settings.h"
#include "link/iolink/tcp_io_link.h"

namespace tarn {

class CSerialLinkWnd;

class Prompter;
class IoTransport;

class CCommProcess : public QObject {
    Q_OBJECT
public:
    explicit CCommProcess(Prompter* prompter = nullptr, QObject* parent = nullptr, int replyTimeoutMs = kReplyTimeoutMs,
                          int connectTimeoutMs = kConnectTimeoutMs);
    ~CCommProcess() override;

    // Starts connecting to the device's I/O port; connectFinished(bool) follows from the event
    // loop. False (and no signal) when a link already exists: call Disconnect first.
    bool ConnectNetwork(const QString& host, int port);
    // Opens COM port `port` (see SerialPortMap) with the operator's settings. On failure the
    // operator has been told "The port %d wasn't opened." and the result is false.
    bool OpenSerial(int port, unsigned baudRate, const QString& parity, int dataBits, int stopBits);
    // Opens a serial device by path without telling the operator; errorString() says why not.
    bool openSerialPath(const QString& path, const SerialLineSettings& settings);
    // Closes whichever link exists; the request in flight and the queue are dropped unreported.
    void Disconnect();

    bool isConnected() const { return engine_.linkOpen(); }
    QString errorString() const { return error_; }

    // Frames and queues a payload; false when it is too long to send.
    bool QueueRequest(const std::string& payload, int index);

    void GetStatus(IoStatus& out) const { engine_.GetStatus(out); }
    void GetConfig(IoConfig& out) const { engine_.GetConfig(out); }
    const IoCommandEngine& engine() const { return engine_; }

    // The command set. Those taking an output port return false for a port outside 1..10;
    // WriteMacroData returns false for a macro longer than kMaxMacroLength characters.
    bool ReadStatus();
    bool SwitchOutput(int port, int value);  // value 0: on
    bool ChangeSettingMode();
    bool ChangeRunMode();
    bool WriteMacroData(const IoConfig& config, int port);
    bool WriteDelayPulseData(const IoConfig& config, int port);
    bool WriteAdcLevel(const IoConfig& config);
    bool WriteEnableStatus(const IoConfig& config);
    bool WritePowerStoppage(const IoConfig& config);
    bool ReadMacroData(int port);
    bool ReadDelayPulseData(int port);
    bool ReadAdcLevel();
    bool ReadEnableStatus();
    bool ReadPowerStoppage();
    bool ReadSerialFirmware();

signals:
    void ioResult(int index, int result);
    void ioLinkLost();
    void connectFinished(bool connected);

private:
    bool queue(const std::optional<IoRequest>& request);
    void adopt(IoTransport* transport);
    bool openSerialLink(CSerialLinkWnd* link);
    void dropTransport();

    // What the engine asks of its surroundings, carried out by this object.
    class Host : public IoEngineHost {
    public:
        explicit Host(CCommProcess& owner) : owner_(owner) {}
        bool sendFrame(std::string_view frame) override;
        void startReplyTimer(int ms) override;
        void stopReplyTimer() override;
        void ioResult(int index, int result) override;
        void ioLinkLost() override;
        void shortReply(int index, std::string_view payload) override;

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
};

}  // namespace tarn
