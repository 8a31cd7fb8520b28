#include "link/iolink/serial_link.h"

#include <poll.h>
#include <termios.h>
#include <vector>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include "core/common/prompter.h"
#include "core/iolink/io_limits.h"
#include "link/iolink/serial_port_map.h"

Q_LOGGING_CATEGORY(lcSerialLink, "tarn.iolink.serial", QtWarningMsg)

namespace tarn {

namespace {

// Ports released inside one of their own signals. Each waits until no signal of its link is being
// handled any more (QSerialPort's own code still runs below such a handler), then it is closed and
// deleted. Everything here runs on the GUI thread.
struct ReleasedPort {
    QPointer<QSerialPort> port;
    std::shared_ptr<const int> signalDepth;
};

std::vector<ReleasedPort>& releasedPorts() {
    static std::vector<ReleasedPort> ports;
    return ports;
}

constexpr int kReleaseRetryMs = 20;

// Closes every released port whose signals have returned; tries again later for the others (a
// handler may be running a nested event loop, such as a question to the operator).
void closeReleasedPorts() {
    auto& ports = releasedPorts();
    for (auto it = ports.begin(); it != ports.end();) {
        if (it->port && *it->signalDepth > 0) {
            ++it;
            continue;
        }
        QSerialPort* p = it->port;
        it = ports.erase(it);
        if (!p) continue;
        p->close();
        delete p;
    }
    if (!ports.empty()) QTimer::singleShot(kReleaseRetryMs, QCoreApplication::instance(), &closeReleasedPorts);
}

// True when the device behind `fd` has hung up: its read errors will not go away.
bool hungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Counts a handler of the port's signals for the time it runs.
class InSignal {
public:
    explicit InSignal(std::shared_ptr<int> depth) : depth_(std::move(depth)) { ++*depth_; }
    ~InSignal() { --*depth_; }
    InSignal(const InSignal&) = delete;
    InSignal& operator=(const InSignal&) = delete;

private:
    std::shared_ptr<int> depth_;
};

}  // namespace

CSerialLinkWnd::CSerialLinkWnd(Prompter* prompter, QObject* parent) : IoTransport(parent), prompter_(prompter) {}

CSerialLinkWnd::~CSerialLinkWnd() { releasePort(); }

void CSerialLinkWnd::SetPort(int number) { portNumber_ = number; }
void CSerialLinkWnd::setPortPath(const QString& path) { explicitPath_ = path; }
void CSerialLinkWnd::ParseSettings(const std::string& text) { tarn::ParseSettings(text, settings_); }

int CSerialLinkWnd::Open(bool open) {
    releasePort();
    if (!open) return 1;
    // A port released inside its own signal may still hold this device: close what can be now.
    closeReleasedPorts();
    error_.clear();
    // The errors Qt signals while the port opens and is set up are read by this function itself:
    // onError must not clear them first, or the reason reads "No error".
    opening_ = true;
    openedPath_ = explicitPath_.isEmpty() ? SerialPortMap::pathFor(portNumber_) : explicitPath_;
    port_ = new QSerialPort(this);
    connect(port_, &QSerialPort::readyRead, this, &CSerialLinkWnd::onReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, &CSerialLinkWnd::onError);
    bool ok = !openedPath_.isEmpty();
    if (!ok) error_ = QStringLiteral("no serial device for COM%1").arg(portNumber_);
    if (ok) {
        port_->setPortName(openedPath_);
        ok = port_->open(QIODevice::ReadWrite);
        if (!ok) error_ = port_->errorString();
    }
    if (ok) ok = setUpLine();
    opening_ = false;
    if (!ok) {
        qCInfo(lcSerialLink) << "cannot open" << openedPath_ << error_;
        releasePort();
        if (prompter_) {
            // The product's words, then which device it was and what the system said.
            const QString where = openedPath_.isEmpty() ? error_ : openedPath_ + QStringLiteral(": ") + error_;
            prompter_->showMessage(
                "TARN Manager",
                "The port " + std::to_string(portNumber_) + " wasn't opened.\n" + where.toLocal8Bit().toStdString(),
                MessageIcon::Information);
        }
        emit openFailed(error_);
        return 0;
    }
    lostReported_ = false;
    emit opened();
    return 1;
}

bool CSerialLinkWnd::setUpLine() {
    const SerialSettings& s = settings_;
    bool ok = port_->setBaudRate(static_cast<qint32>(s.baudRate));
    if (s.dataBits >= 5 && s.dataBits <= 8) {
        ok = ok && port_->setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits));
    } else {
        ok = false;
    }
    const QSerialPort::Parity parity = s.parity == 'o'   ? QSerialPort::OddParity
                                       : s.parity == 'e' ? QSerialPort::EvenParity
                                                         : QSerialPort::NoParity;
    ok = ok && port_->setParity(parity);
    ok = ok && port_->setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    ok = ok && port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        error_ = QStringLiteral("line settings rejected: %1").arg(port_->errorString());
        return false;
    }
    // DTR and RTS on; a pseudo-terminal has no modem lines, which is no reason to fail.
    port_->setDataTerminalReady(true);
    port_->setRequestToSend(true);
    if (!setNativeFlags()) return false;
    port_->clear(QSerialPort::AllDirections);
    return true;
}

bool CSerialLinkWnd::setNativeFlags() {
    const int fd = static_cast<int>(port_->handle());
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

void CSerialLinkWnd::releasePort() {
    QSerialPort* p = port_;
    if (!p) return;
    port_ = nullptr;
    p->disconnect(this);
    if (*signalDepth_ == 0) {
        p->close();
        delete p;
        return;
    }
    // Inside one of the port's own signals: cut it loose now, close it once the signal returned.
    p->setParent(nullptr);
    releasedPorts().push_back({p, signalDepth_});
    QMetaObject::invokeMethod(QCoreApplication::instance(), &closeReleasedPorts, Qt::QueuedConnection);
}

qint64 CSerialLinkWnd::Write(const QByteArray& bytes) {
    if (!port_ || !port_->isOpen()) return 0;
    const qint64 n = port_->write(bytes);
    if (n < 0) {
        port_->clearError();
        return 0;
    }
    return n;
}

void CSerialLinkWnd::onReadyRead() {
    const InSignal counted(signalDepth_);
    // A handler of an earlier chunk may have closed the link: it then takes no more bytes.
    while (port_ && port_->bytesAvailable() > 0) {
        const QByteArray chunk = port_->read(static_cast<qint64>(kMaxChunkBytes));
        if (chunk.isEmpty()) break;
        emit bytesReceived(chunk);
    }
}

void CSerialLinkWnd::onError(QSerialPort::SerialPortError error) {
    const InSignal counted(signalDepth_);
    if (error == QSerialPort::NoError || !port_ || opening_) return;
    // A device that vanished (USB adapter pulled, the other end of a pseudo-terminal closed) is a
    // lost link, whichever error Qt made of it; other read and write errors are cleared, and the
    // request concerned fails by its time-out.
    if (error == QSerialPort::ResourceError || error == QSerialPort::PermissionError ||
        hungUp(static_cast<int>(port_->handle()))) {
        error_ = port_->errorString();
        releasePort();
        if (!lostReported_) {
            lostReported_ = true;
            emit linkLost(error_);
        }
        return;
    }
    qCDebug(lcSerialLink) << "serial error" << error << port_->errorString();
    port_->clearError();
}

}  // namespace tarn
