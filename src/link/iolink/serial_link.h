// The I/O link over a serial port (CSerialLinkWnd): opens and sets up the line, writes request
// frames and hands received bytes to the engine. QSerialPort runs on the GUI thread and never
// blocks it: reads are driven by readyRead and writes are queued.
//
// Line set-up: baud rate, data bits, parity and stop bits from the settings text; binary (raw)
// mode; no CTS/DSR flow control; DTR and RTS on; XON/XOFF on input only; parity checking on.
// QSerialPort cannot say "XON/XOFF on input only" or "check parity", so those two are set on the
// native handle; neither can it set 1.5 stop bits on Linux, where it becomes two stop bits (what
// a UART sends for "1.5" with six or more data bits).
//
// Closing never happens inside the port's own signals: a port closed there (a handler of
// linkLost or of the received bytes disconnects) is cut loose at once and closed once its signal
// has returned, and a later open of the same device waits for that.
#pragma once

#include <memory>
#include <string>

#include <QSerialPort>
#include <QString>

#include "core/common/serial_settings.h"
#include "link/iolink/io_transport.h"

namespace tarn {

class Prompter;

class CSerialLinkWnd : public IoTransport {
    Q_OBJECT
public:
    // Failures to open are told to the operator through `prompter` when it is set.
    explicit CSerialLinkWnd(Prompter* prompter = nullptr, QObject* parent = nullptr);
    ~CSerialLinkWnd() override;

    void SetPort(int number);
    // Uses this device path instead of looking the port number up (see SerialPortMap).
    void setPortPath(const QString& path);
    // Reads the settings text ("9600, n, 8, 1") over the current settings; the port is kept.
    void ParseSettings(const std::string& text);
    void setSettings(const SerialSettings& settings) { settings_ = settings; }
    const SerialSettings& settings() const { return settings_; }

    // Open(true) opens and sets up the port: 1 and opened() on success; on failure it shows
    // "The port %d wasn't opened.", emits openFailed() and returns 0. Open(false) closes it.
    int Open(bool open);
    // Queues the bytes; the count taken, 0 on an error.
    qint64 Write(const QByteArray& bytes);

    bool isOpen() const override { return port_ && port_->isOpen(); }
    bool writeBytes(const QByteArray& bytes) override { return Write(bytes) == bytes.size(); }
    void close() override { releasePort(); }

    QString errorString() const { return error_; }

private:
    bool setUpLine();
    bool setNativeFlags();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void releasePort();

    Prompter* prompter_;
    QSerialPort* port_ = nullptr;  // owned; null while closed
    // How many of the port's signals are being handled right now, shared with released ports.
    std::shared_ptr<int> signalDepth_ = std::make_shared<int>(0);
    SerialSettings settings_;
    int portNumber_ = 1;
    QString explicitPath_;
    QString openedPath_;
    QString error_;
    bool lostReported_ = false;
    bool opening_ = false;  // inside Open(true)
};

}  // namespace tarn
