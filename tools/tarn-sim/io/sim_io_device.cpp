#include "tarn-sim/io/sim_io_device.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QPointer>
#include <QTimer>

#include "core/iolink/io_frame.h"
#include "tarn-sim/io/sim_io_motion.h"

namespace tarnsim {

namespace {
const std::string kNakFrame = ":0500NAK7B\r\n";
}

SimIoDevice::SimIoDevice(QString name, QHostAddress address, SimIoConfig config, QObject* parent)
    : QObject(parent),
      name_(std::move(name)),
      address_(std::move(address)),
      config_(std::move(config)),
      model_(config_.initial) {}

SimIoDevice::~SimIoDevice() {
    ptyNotifier_.reset();
    if (ptySlave_ >= 0) ::close(ptySlave_);
    if (ptyMaster_ >= 0) ::close(ptyMaster_);
}

bool SimIoDevice::start(quint16 port, QString* error) {
    port_ = port;
    age_.start();
    return !config_.pty || openPty(error);
}

void SimIoDevice::serve(QTcpSocket* socket) {
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto ch = std::make_shared<Channel>();
    QPointer<QTcpSocket> s(socket);
    ch->guard = socket;
    ch->write = [s](const QByteArray& bytes) {
        if (!s) return;
        s->write(bytes);
        s->flush();
    };
    ch->close = [s] {
        if (s) s->disconnectFromHost();
    };
    connect(socket, &QTcpSocket::readyRead, this, [this, ch, s] {
        if (s) handleBytes(ch, s->readAll());
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

bool SimIoDevice::openPty(QString* error) {
    ptyMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char* slaveName = nullptr;
    if (ptyMaster_ >= 0 && ::grantpt(ptyMaster_) == 0 && ::unlockpt(ptyMaster_) == 0) slaveName = ::ptsname(ptyMaster_);
    if (slaveName) ptySlave_ = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (ptySlave_ < 0) {
        *error = QStringLiteral("device %1: cannot open a pseudo-terminal").arg(name_);
        return false;
    }
    ptyPath_ = QString::fromLocal8Bit(slaveName);
    // Hold the slave open, raw, so nothing is echoed and the master never reads EIO between the
    // programs that open the path.
    termios t{};
    ::tcgetattr(ptySlave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(ptySlave_, TCSANOW, &t);

    ptyChannel_ = std::make_shared<Channel>();
    ptyChannel_->guard = this;
    ptyChannel_->write = [this](const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(ptyMaster_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0) break;  // the other side is not reading; a serial line would lose them too
            done += n;
        }
    };
    ptyChannel_->close = [] {};  // a serial line cannot be closed by the device
    ptyNotifier_ = std::make_unique<QSocketNotifier>(ptyMaster_, QSocketNotifier::Read);
    connect(ptyNotifier_.get(), &QSocketNotifier::activated, this, &SimIoDevice::onPtyReadable);
    return true;
}

void SimIoDevice::onPtyReadable() {
    char buf[1024];
    const ssize_t n = ::read(ptyMaster_, buf, sizeof buf);
    if (n > 0) handleBytes(ptyChannel_, QByteArray(buf, static_cast<qsizetype>(n)));
}

void SimIoDevice::handleBytes(const std::shared_ptr<Channel>& ch, const QByteArray& bytes) {
    ch->framer.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                    [&](std::string_view frame) { handleFrame(ch, frame); });
}

void SimIoDevice::handleFrame(const std::shared_ptr<Channel>& ch, std::string_view frame) {
    const SimIoFaults& f = config_.faults;
    if (f.noAnswer || ch->silent) return;
    if (f.nak > 0) {
        // A retransmission is the same frame again; anything else is a new request.
        if (frame != ch->nakFrame) {
            ch->nakFrame = std::string(frame);
            ch->naks = 0;
        }
        if (ch->naks < f.nak) {
            ++ch->naks;
            send(ch, kNakFrame, false);
            return;
        }
        ch->nakFrame.clear();
    }
    if (config_.moving)
        applyMotion(model_.state(), config_.initial, static_cast<std::uint32_t>(qHash(name_)), age_.elapsed());
    // answer12: whatever was asked, the answer is an enable-status reply.
    std::string reply = model_.answerFrame(f.answer12 ? *tarn::buildIoFrame("130") : frame);
    if (f.silentAfterSettingMode && tarn::checkIoFrame(frame) && tarn::ioFramePayload(frame) == "040")
        ch->silent = true;
    if (f.badChecksum && reply.size() >= tarn::kFrameOverheadBytes) {
        char& cc = reply[reply.size() - 3];
        cc = cc == '0' ? '1' : '0';
    }
    std::string bytes = f.noise + reply;
    if (f.duplicateReplies) bytes += reply;
    ++ch->replies;
    send(ch, bytes, f.closeAfter > 0 && ch->replies >= f.closeAfter);
}

void SimIoDevice::send(const std::shared_ptr<Channel>& ch, const std::string& bytes, bool closeAfterwards) {
    const SimIoFaults& f = config_.faults;
    QObject* guard = ch->guard;
    if (!guard) return;
    if (!f.splitReplies && f.lateMs == 0) {
        ch->write(QByteArray::fromStdString(bytes));
        if (closeAfterwards) ch->close();
        return;
    }
    // One piece per timer tick: the whole reply late, or each byte on its own a millisecond apart.
    // Precise timers: a reply meant to come 2.9 s late must not come 150 ms early or late.
    std::vector<QByteArray> pieces;
    if (f.splitReplies) {
        for (char c : bytes) pieces.emplace_back(1, c);
    } else {
        pieces.push_back(QByteArray::fromStdString(bytes));
    }
    int at = f.lateMs;
    for (const QByteArray& piece : pieces) {
        QTimer::singleShot(at, Qt::PreciseTimer, guard, [ch, piece] { ch->write(piece); });
        at += f.splitReplies ? 1 : 0;
    }
    if (closeAfterwards) QTimer::singleShot(at, Qt::PreciseTimer, guard, [ch] { ch->close(); });
}

}  // namespace tarnsim
