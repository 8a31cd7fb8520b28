// The serial I/O link on a pseudo-terminal: line set-up on the native handle, the failure message,
// the COM port mapping, and request/reply exchanges in pieces and with NAKs.
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QSocketNotifier>

#include "core/iolink/io_device.h"
#include "core/iolink/io_framer.h"
#include "io_test_util.h"
#include "link/iolink/serial_link.h"
#include "link/iolink/serial_port_map.h"
#include "support/scripted_prompter.h"

namespace tarn {
namespace {

using test::EngineRecorder;
using test::waitUntil;

// A pseudo-terminal pair: the test plays the device on the master side.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (!name) return;
        path_ = QString::fromLocal8Bit(name);
        // Hold the slave open (raw) so that the master never reads EIO between users.
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    ~Pty() {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return !path_.isEmpty() && slave_ >= 0; }
    const QString& path() const { return path_; }
    int master() const { return master_; }
    termios slaveSettings() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return t;
    }
    void write(const std::string& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// The device model answering on the master side; `naks` NAKs before each answer, replies byte by byte.
class PtyDevice {
public:
    explicit PtyDevice(const Pty& pty, int naks)
        : pty_(pty), naks_(naks), notifier_(pty.master(), QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { onReadable(); });
    }
    IoDeviceModel model;
    int requests = 0;

private:
    void onReadable() {
        char buf[512];
        const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
        if (n <= 0) return;
        for (const std::string& frame : framer_.feed(std::string_view(buf, static_cast<std::size_t>(n)))) {
            ++requests;
            std::string reply;
            if (nakked_ < naks_) {
                ++nakked_;
                reply = ":0500NAK7B\r\n";
            } else {
                nakked_ = 0;
                reply = model.answerFrame(frame);
            }
            for (char c : reply) pty_.write(std::string(1, c));
        }
    }
    const Pty& pty_;
    int naks_;
    int nakked_ = 0;
    QSocketNotifier notifier_;
    IoFramer framer_;
};

TEST(SerialLink, SetsUpTheLineAsTheDeviceExpects) {
    Pty pty;
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
    CSerialLinkWnd link;
    link.setPortPath(pty.path());
    // A pseudo-terminal refuses 7 data bits and parity, so this checks the rest of the set-up.
    link.ParseSettings("19200, n, 8, 2");
    ASSERT_EQ(link.Open(true), 1) << link.errorString().toStdString();
    const termios t = pty.slaveSettings();
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B19200));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXOFF);    // XON/XOFF on input
    EXPECT_FALSE(t.c_iflag & IXON);    // but not on output
    EXPECT_TRUE(t.c_iflag & INPCK);    // parity checked
    EXPECT_FALSE(t.c_lflag & ICANON);  // binary
    link.close();
    EXPECT_FALSE(link.isOpen());
}

TEST(SerialLink, FailureToOpenTellsTheOperator) {
    test::ScriptedPrompter prompter;
    ::setenv("TARN_COM3", "/nonexistent/tarn-serial", 1);
    CSerialLinkWnd link(&prompter);
    link.SetPort(3);
    EXPECT_EQ(link.Open(true), 0);
    ::unsetenv("TARN_COM3");
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].caption, "TARN Manager");
    // The device path and the system's reason under the product's words.
    EXPECT_EQ(prompter.records()[0].text,
              "The port 3 wasn't opened.\n/nonexistent/tarn-serial: No such file or directory");
    EXPECT_FALSE(link.isOpen());
    // The system's reason, not "No error".
    EXPECT_EQ(link.errorString().toStdString(), "No such file or directory");

    // Settings the line cannot take fail the same way.
    Pty pty;
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
    ::setenv("TARN_COM7", pty.path().toLocal8Bit().constData(), 1);
    CCommProcess engine(&prompter);
    EngineRecorder rec(engine);
    ASSERT_TRUE(engine.OpenSerial(7, 9600, QStringLiteral("n"), 9, 1));
    engine.ReadStatus();                       // held, then failed once with the open
    EXPECT_EQ(prompter.records().size(), 1u);  // the open runs from the event loop
    ASSERT_TRUE(waitUntil([&] { return !rec.connects.empty() && !rec.results.empty(); }));
    ::unsetenv("TARN_COM7");
    EXPECT_TRUE(
        prompter.messageTexts().back().starts_with("The port 7 wasn't opened.\n" + pty.path().toStdString() + ": "))
        << prompter.messageTexts().back();
    EXPECT_EQ(rec.connects, std::vector<bool>{false});
    EXPECT_EQ(rec.results, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_FALSE(engine.isConnected());
    EXPECT_TRUE(engine.errorString().startsWith(QLatin1String("line settings rejected: ")))
        << engine.errorString().toStdString();
    EXPECT_FALSE(engine.errorString().contains(QLatin1String("No error"))) << engine.errorString().toStdString();
}

TEST(SerialLink, ComPortNumbersMapToDevicePaths) {
    EXPECT_EQ(SerialPortMap::stableOrder({"/dev/ttyUSB0", "/dev/ttyS10", "/dev/pts/3", "/dev/ttyS2", "/dev/ttyACM0"}),
              QStringList({"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/pts/3"}));
    ::setenv("TARN_COM12", "/dev/serial/by-id/usb-adapter", 1);
    EXPECT_EQ(SerialPortMap::pathFor(12), QStringLiteral("/dev/serial/by-id/usb-adapter"));
    ::unsetenv("TARN_COM12");
}

TEST(SerialLink, EngineExchangesFramesInPiecesAndRetransmitsOnNak) {
    Pty pty;
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
    PtyDevice device(pty, /*naks=*/2);
    device.model.state().serialNumber = "TARN-SERIAL-00042";
    device.model.state().firmwareVersion = "2.10";
    ::setenv("TARN_COM2", pty.path().toLocal8Bit().constData(), 1);
    test::ScriptedPrompter prompter;
    CCommProcess engine(&prompter);
    EngineRecorder rec(engine);
    ASSERT_TRUE(engine.OpenSerial(2, 9600, QStringLiteral("n"), 8, 1));
    // Queued before the port is open: held until it is.
    engine.ReadSerialFirmware();
    engine.SwitchOutput(4, 0);
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == 2; }));
    ::unsetenv("TARN_COM2");
    EXPECT_TRUE(prompter.records().empty());
    EXPECT_EQ(rec.connects, std::vector<bool>{true});
    EXPECT_EQ(rec.results, (std::vector<std::pair<int, int>>{{15, '0'}, {0, '0'}}));
    EXPECT_EQ(device.requests, 6);  // each request twice NAKed, then answered
    EXPECT_EQ(engine.config().serialNumber, "TARN-SERIAL-00042");
    EXPECT_EQ(engine.status().output[3], PortStateCode::On);
    engine.Disconnect();
    EXPECT_FALSE(engine.isConnected());
}

// How often this process has the device at `path` open (a vanished device reads "(deleted)").
int openCount(const QString& path) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    const QByteArray want = path.toLocal8Bit();
    int n = 0;
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        char target[512];
        const ssize_t len = ::readlink(fds.filePath(fd).toLocal8Bit().constData(), target, sizeof target);
        const QByteArray t(target, len > 0 ? static_cast<qsizetype>(len) : 0);
        if (t == want || t == want + " (deleted)") ++n;
    }
    return n;
}

TEST(SerialLink, DeviceVanishesAndTheLinkLostHandlerReconnects) {
    auto first = std::make_unique<Pty>();
    Pty second;
    if (!first->ok() || !second.ok()) GTEST_SKIP() << "no pseudo-terminals here";
    const QString firstPath = first->path();
    auto firstDevice = std::make_unique<PtyDevice>(*first, 0);
    PtyDevice secondDevice(second, 0);
    secondDevice.model.state().serialNumber = "TARN-SERIAL-00002";
    ::setenv("TARN_COM4", firstPath.toLocal8Bit().constData(), 1);
    CCommProcess engine(nullptr, nullptr, 2000);
    EngineRecorder rec(engine);
    // As the monitor answers "re-connect": close and open again inside the link-lost notice, which
    // runs inside the serial port's own error signal.
    int heldInsideSignal = -1;
    QObject::connect(&engine, &CCommProcess::ioLinkLost, &engine, [&] {
        engine.Disconnect();
        heldInsideSignal = openCount(firstPath);  // QSerialPort's code still runs below us
        ::setenv("TARN_COM4", second.path().toLocal8Bit().constData(), 1);
        EXPECT_TRUE(engine.OpenSerial(4, 9600, QStringLiteral("n"), 8, 1));
        engine.ReadSerialFirmware();  // held until the new port is open
    });
    ASSERT_TRUE(engine.OpenSerial(4, 9600, QStringLiteral("n"), 8, 1));
    engine.ReadStatus();
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == 1; }));
    EXPECT_EQ(rec.results[0], (std::pair<int, int>{0, '0'}));

    firstDevice.reset();
    first.reset();  // the device vanishes: both ends of its pseudo-terminal are gone
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == 2; }));
    ::unsetenv("TARN_COM4");
    EXPECT_EQ(rec.linkLost, 1);
    EXPECT_EQ(rec.connects, (std::vector<bool>{true, true}));
    EXPECT_EQ(rec.results[1], (std::pair<int, int>{15, '0'}));
    EXPECT_EQ(engine.config().serialNumber, "TARN-SERIAL-00002");
    // The vanished port was closed after its signal returned, not left open; the new one is open
    // once, beside the test's own hold on it, until the link is closed.
    EXPECT_EQ(heldInsideSignal, 1);
    EXPECT_TRUE(waitUntil([&] { return openCount(firstPath) == 0; }, 2000));
    EXPECT_EQ(openCount(second.path()), 2);
    engine.Disconnect();
    EXPECT_EQ(openCount(second.path()), 1);
}

}  // namespace
}  // namespace tarn
