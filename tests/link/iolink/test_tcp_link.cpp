// CCommProcess over TCP against a scripted device on loopback: asynchronous connect, replies in
// pieces, time-outs, a peer that closes, and closing the link from inside the engine's signals.
#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "core/iolink/io_frame.h"
#include "core/iolink/io_framer.h"
#include "io_test_util.h"
#include "link/iolink/comm_process.h"

namespace tarn {
namespace {

using test::EngineRecorder;
using test::waitUntil;

// A device on 127.0.0.1 that hands every request payload to `answer` and writes what it returns.
class ScriptedDevice {
public:
    std::function<std::string(const std::string&)> answer;
    bool splitReplies = false;
    std::vector<std::string> requests;

    ScriptedDevice() {
        server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                peer_ = s;
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { onData(s); });
            }
        });
    }
    int port() const { return server_.serverPort(); }
    QTcpSocket* peer() const { return peer_; }

private:
    void onData(QTcpSocket* s) {
        for (const std::string& frame : framer_.feed(s->readAll().toStdString())) {
            requests.emplace_back(ioFramePayload(frame));
            if (!answer) continue;
            const std::string reply = answer(requests.back());
            if (reply.empty()) continue;
            const std::string bytes = *buildIoFrame(reply);
            if (!splitReplies) {
                s->write(bytes.data(), static_cast<qint64>(bytes.size()));
                continue;
            }
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                QTimer::singleShot(static_cast<int>(i), s, [s, c = bytes[i]] {
                    s->write(&c, 1);
                    s->flush();
                });
            }
        }
    }

    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    IoFramer framer_;
};

TEST(TcpIoLink, ConnectsAsynchronouslyAndReportsTheResult) {
    ScriptedDevice device;
    device.answer = [](const std::string& p) {
        return p == "030" ? "020"
                            "90042,00000,10000,x0000,1000,0000,0001,1111,0000,01"
                          : "";
    };
    CCommProcess engine;
    EngineRecorder rec(engine);
    ASSERT_TRUE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port()));
    EXPECT_TRUE(rec.connects.empty());  // never decided inside the call
    EXPECT_FALSE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port()));
    ASSERT_TRUE(waitUntil([&] { return !rec.connects.empty(); }));
    EXPECT_EQ(rec.connects, std::vector<bool>{true});
    EXPECT_TRUE(engine.isConnected());

    device.splitReplies = true;
    engine.ReadStatus();
    ASSERT_TRUE(waitUntil([&] { return !rec.results.empty(); }));
    EXPECT_EQ(rec.results[0], (std::pair<int, int>{0, '0'}));
    const IoStatus& s = engine.status();
    EXPECT_EQ(s.adc[0].value, "0042");
    EXPECT_EQ(s.output[9], PortStateCode::On);
    EXPECT_EQ(device.requests, std::vector<std::string>{"030"});
}

TEST(TcpIoLink, RefusedOrInvalidConnectFails) {
    // Bound by this test and never listened on: connecting is refused, and nobody else can take it.
    QTcpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const int closedPort = holder.localPort();
    CCommProcess engine;
    EngineRecorder rec(engine);
    ASSERT_TRUE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), closedPort));
    ASSERT_TRUE(waitUntil([&] { return !rec.connects.empty(); }));
    EXPECT_EQ(rec.connects, std::vector<bool>{false});
    EXPECT_FALSE(engine.isConnected());

    ASSERT_TRUE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), 70000));
    ASSERT_TRUE(waitUntil([&] { return rec.connects.size() == 2; }));
    EXPECT_FALSE(rec.connects[1]);
    // A request with no link fails from the event loop, not inside the call.
    engine.ReadEnableStatus();
    EXPECT_TRUE(rec.results.empty());
    ASSERT_TRUE(waitUntil([&] { return !rec.results.empty(); }));
    EXPECT_EQ(rec.results, (std::vector<std::pair<int, int>>{{13, 0}}));
}

TEST(TcpIoLink, RequestsQueuedBeforeTheConnectionOpensWaitForTheOutcome) {
    ScriptedDevice device;
    device.answer = [](const std::string& p) {
        return p == "130" ? std::string(
                                "120"
                                "1111,0,1111,1111,1111,1111,1111,11")
                          : "020" + std::string(51, '0');
    };
    CCommProcess engine;
    EngineRecorder rec(engine);
    std::size_t resultsAtOpen = 99;
    QObject::connect(&engine, &CCommProcess::linkOpened, [&] { resultsAtOpen = rec.results.size(); });
    // As the monitor does: connect, then read the configuration at once.
    ASSERT_TRUE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port()));
    EXPECT_TRUE(engine.isOpening());
    EXPECT_TRUE(engine.ReadEnableStatus());
    EXPECT_TRUE(engine.ReadStatus());
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == 2; }));
    EXPECT_EQ(resultsAtOpen, 0u);
    EXPECT_EQ(rec.results, (std::vector<std::pair<int, int>>{{13, '0'}, {0, '0'}}));
    EXPECT_EQ(device.requests, (std::vector<std::string>{"130", "030"}));
    EXPECT_TRUE(engine.config().wasRead(IoBlock::EnableStatus));
    EXPECT_EQ(rec.connects, std::vector<bool>{true});

    // The open fails: each held request fails once, with result 0, after openFailed. The port is
    // bound by this test and never listened on, so connecting to it is refused (and no other
    // program can take it meanwhile).
    QTcpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const int closedPort = holder.localPort();
    CCommProcess refused;
    EngineRecorder rec2(refused);
    std::size_t resultsAtFailure = 99;
    QObject::connect(&refused, &CCommProcess::openFailed, [&] { resultsAtFailure = rec2.results.size(); });
    ASSERT_TRUE(refused.ConnectNetwork(QStringLiteral("127.0.0.1"), closedPort));
    refused.ReadEnableStatus();
    refused.ReadStatus();
    ASSERT_TRUE(waitUntil([&] { return rec2.results.size() == 2; }));
    waitUntil([] { return false; }, 200);  // room for a wrong second result
    EXPECT_EQ(resultsAtFailure, 0u);
    EXPECT_EQ(rec2.results, (std::vector<std::pair<int, int>>{{13, 0}, {0, 0}}));
    EXPECT_EQ(rec2.connects, std::vector<bool>{false});
    EXPECT_FALSE(refused.isOpening());
}

TEST(TcpIoLink, RefusedRequestsReportOnceFromTheEventLoop) {
    ScriptedDevice device;
    device.answer = [](const std::string&) { return std::string("021"); };
    CCommProcess engine;
    EngineRecorder rec(engine);
    engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port());
    ASSERT_TRUE(waitUntil([&] { return engine.isConnected(); }));
    IoConfig c;  // never read
    EXPECT_FALSE(engine.QueueRequest(IoRequests::WritePowerStoppage(c)));
    EXPECT_EQ(engine.lastRefusal(), IoRefusal::PowerStoppageNotRead);
    EXPECT_FALSE(engine.SwitchOutput(11, 0));
    EXPECT_EQ(engine.lastRefusal(), IoRefusal::BadPort);
    EXPECT_FALSE(engine.QueueRequest(IoRequest{std::string(kMaxRequestPayload + 1, '0'), 9}));
    EXPECT_TRUE(engine.ChangeSettingMode());
    EXPECT_TRUE(rec.results.empty());  // never inside the call
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == 4; }));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(rec.results, (std::vector<std::pair<int, int>>{{8, 0}, {0, 0}, {9, 0}, {2, '1'}}));
    EXPECT_EQ(device.requests, std::vector<std::string>{"040"});
}

TEST(TcpIoLink, ConnectAttemptIsBounded) {
    // A listener whose accept queue is full drops new handshakes, so a connect neither succeeds
    // nor is refused: only the bounded wait ends it.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    const int port = ntohs(addr.sin_port);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 2; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), static_cast<quint16>(port));
    }
    waitUntil([&] { return fillers[0]->state() == QAbstractSocket::ConnectedState; }, 2000);

    CCommProcess engine(nullptr, nullptr, kReplyTimeoutMs, /*connectTimeoutMs=*/300);
    EngineRecorder rec(engine);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), port));
    ASSERT_TRUE(waitUntil([&] { return !rec.connects.empty(); }, 5000));
    ::close(listener);
    if (rec.connects[0]) GTEST_SKIP() << "this system completed the handshake anyway";
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_TRUE(engine.errorString().contains(QLatin1String("300 ms"))) << engine.errorString().toStdString();
    EXPECT_FALSE(engine.isConnected());
}

TEST(TcpIoLink, SilentDeviceTimesOutAndTheNextRequestGoesOut) {
    ScriptedDevice device;  // never answers
    CCommProcess engine(nullptr, nullptr, /*replyTimeoutMs=*/150);
    EngineRecorder rec(engine);
    engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port());
    ASSERT_TRUE(waitUntil([&] { return engine.isConnected(); }));
    engine.ReadPowerStoppage();
    engine.ReadSerialFirmware();
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == 2; }));
    EXPECT_EQ(rec.results, (std::vector<std::pair<int, int>>{{14, 0}, {15, 0}}));
    EXPECT_EQ(device.requests, (std::vector<std::string>{"160", "620"}));
}

TEST(TcpIoLink, PeerCloseIsReportedOnceAndTheLinkCanBeReopened) {
    ScriptedDevice device;
    device.answer = [](const std::string&) { return std::string("021"); };
    CCommProcess engine(nullptr, nullptr, 2000);
    EngineRecorder rec(engine);
    engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port());
    ASSERT_TRUE(waitUntil([&] { return device.peer() && engine.isConnected(); }));
    engine.ReadStatus();
    engine.ReadStatus();
    ASSERT_TRUE(waitUntil([&] { return !rec.results.empty(); }));
    device.peer()->close();
    ASSERT_TRUE(waitUntil([&] { return rec.linkLost > 0; }));
    // Give any second notice, or a stray time-out, the chance to show up.
    QTimer settle;
    settle.setSingleShot(true);
    settle.start(300);
    waitUntil([&] { return !settle.isActive(); }, 1000);
    EXPECT_EQ(rec.linkLost, 1);
    EXPECT_FALSE(engine.isConnected());
    const std::size_t resultsAtLoss = rec.results.size();
    EXPECT_LE(resultsAtLoss, 2u);

    engine.Disconnect();
    ASSERT_TRUE(engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port()));
    ASSERT_TRUE(waitUntil([&] { return rec.connects.size() == 2; }));
    EXPECT_TRUE(rec.connects[1]);
    engine.ChangeSettingMode();
    ASSERT_TRUE(waitUntil([&] { return rec.results.size() == resultsAtLoss + 1; }));
    EXPECT_EQ(rec.results.back(), (std::pair<int, int>{2, '1'}));
}

TEST(TcpIoLink, DisconnectFromInsideTheEngineSignals) {
    ScriptedDevice device;
    device.answer = [](const std::string&) { return std::string("020"); };
    CCommProcess engine;
    EngineRecorder rec(engine);
    // The result handler runs inside the socket's readyRead: closing there must be safe, and the
    // queued request behind it is dropped.
    QObject::connect(&engine, &CCommProcess::ioResult, &engine, [&] { engine.Disconnect(); });
    engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port());
    ASSERT_TRUE(waitUntil([&] { return engine.isConnected(); }));
    engine.ChangeRunMode();
    engine.ChangeRunMode();
    ASSERT_TRUE(waitUntil([&] { return !rec.results.empty(); }));
    EXPECT_FALSE(engine.isConnected());

    // The same from inside the link-lost notice, which runs in the socket's disconnected signal.
    CCommProcess second;
    EngineRecorder rec2(second);
    QObject::connect(&second, &CCommProcess::ioLinkLost, &second, [&] { second.Disconnect(); });
    second.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port());
    ASSERT_TRUE(waitUntil([&] { return second.isConnected() && device.peer(); }));
    QTcpSocket* peer = device.peer();
    waitUntil([&] { return peer->state() == QAbstractSocket::ConnectedState; }, 1000);
    peer->abort();
    ASSERT_TRUE(waitUntil([&] { return rec2.linkLost == 1; }));
    EXPECT_TRUE(second.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port()));
    ASSERT_TRUE(waitUntil([&] { return rec2.connects.size() == 2; }));
}

}  // namespace
}  // namespace tarn
