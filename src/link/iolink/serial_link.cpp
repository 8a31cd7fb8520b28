#include "link/iolink/serial_link.h"

#include <termios.h>

#include <QLoggingCategory>

#include "core/common/prompter.h"
#include "core/iolink/io_limits.h"
#include "link/iolink/serial_port_map.h"

Q_LOGGING_CATEGORY(lcSerialLink, "tarn.iolink.serial", QtWarningMsg)

namespace tarn {

CSerialLinkWnd::CSerialLinkWnd(Prompter* prompter, QObject* parent) : IoTransport(parent), prompter_(prompter) {
    connect(&port_, &QSerialPort::readyRead, this, &CSerialLinkWnd::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &CSerialLinkWnd::onError);
}

CSerialLinkWnd::~CSerialLinkWnd() { Close(); }

void CSerialLinkWnd::SetPort(int number) { portNumber_ = number; }
void CSerialLinkWnd::setPortPath(const QString& path) { explicitPath_ = path; }
void CSerialLinkWnd::ParseSettings(const std::string& text) { tarn::ParseSettings(text, settings_); }

int CSerialLinkWnd::Open(bool open) {
    if (!open) {
        Close();
        return 1;
    }
    Close();
    ++openGeneration_;
    error_.clear();
    openedPath_ = explicitPath_.isEmpty() ? SerialPortMap::pathFor(portNumber_) : explicitPath_;
    bool ok = !openedPath_.isEmpty();
    if (!ok) error_ = QStringLiteral("no serial device for COM%1").arg(portNumber_);
    if (ok) {
        port_.setPortName(openedPath_);
        ok = port_.open(QIODevice::ReadWrite);
        if (!ok) error_ = port_.errorString();
    }
    if (ok) ok = setUpLine();
    if (!ok) {
        qCInfo(lcSerialLink) << "cannot open" << openedPath_ << error_;
        port_.close();
        if (prompter_) {
            prompter_->showMessage("TARN Manager", "The port " + std::to_string(portNumber_) + " wasn't opened.",
                                   MessageIcon::Information);
        }
        return 0;
    }
    lostReported_ = false;
    emit opened();
    return 1;
}

bool CSerialLinkWnd::setUpLine() {
    const SerialLineSettings& s = settings_;
    bool ok = port_.setBaudRate(s.baudRate);
    if (s.dataBits >= 5 && s.dataBits <= 8) {
        ok = ok && port_.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits));
    } else {
        ok = false;
    }
    const QSerialPort::Parity parity = s.parity == SerialParity::Odd    ? QSerialPort::OddParity
                                       : s.parity == SerialParity::Even ? QSerialPort::EvenParity
                                                                        : QSerialPort::NoParity;
    ok = ok && port_.setParity(parity);
    // Linux has no 1.5 stop bits: two, as a UART sends for "1.5" with six or more data bits.
    ok = ok && port_.setStopBits(s.stopBits == SerialStopBits::One ? QSerialPort::OneStop : QSerialPort::TwoStop);
    ok = ok && port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        error_ = QStringLiteral("line settings rejected: %1").arg(port_.errorString());
        return false;
    }
    // DTR and RTS on; a pseudo-terminal has no modem lines, which is no reason to fail.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    if (!setNativeFlags()) return false;
    port_.clear(QSerialPort::AllDirections);
    return true;
}

bool CSerialLinkWnd::setNativeFlags() {
    const int fd = static_cast<int>(port_.handle());
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        error_ = QStringLiteral("cannot read the line settings");
        return false;
    }
    t.c_iflag |= IXOFF | INPCK;                         // XON/XOFF on input, parity checking
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXANY);  // no XON/XOFF on output
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        error_ = QStringLiteral("line settings rejected");
        return false;
    }
    return true;
}

void CSerialLinkWnd::Close() {
    if (port_.isOpen()) port_.close();
}

qint64 CSerialLinkWnd::Write(const QByteArray& bytes) {
    if (!port_.isOpen()) return 0;
    const qint64 n = port_.write(bytes);
    if (n < 0) {
        port_.clearError();
        return 0;
    }
    return n;
}

void CSerialLinkWnd::onReadyRead() {
    while (port_.isOpen() && port_.bytesAvailable() > 0) {
        const QByteArray chunk = port_.read(static_cast<qint64>(kMaxChunkBytes));
        if (chunk.isEmpty()) break;
        emit bytesReceived(chunk);
    }
}

void CSerialLinkWnd::onError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || !port_.isOpen()) return;
    // A device that vanished (USB adapter pulled) is a lost link; read and write errors are
    // cleared, and the request concerned fails by its time-out.
    if (error == QSerialPort::ResourceError || error == QSerialPort::PermissionError) {
        error_ = port_.errorString();
        port_.clearError();
        // Closed later: this runs inside the port's own signal.
        const int generation = openGeneration_;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == openGeneration_) Close();
            },
            Qt::QueuedConnection);
        if (!lostReported_) {
            lostReported_ = true;
            emit linkLost(error_);
        }
        return;
    }
    qCDebug(lcSerialLink) << "serial error" << port_.errorString();
    port_.clearError();
}

}  // namespace tarn
