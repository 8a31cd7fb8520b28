// Benchmarks of the I/O link: the frame cutter's throughput against a plain memchr scan of the
// same bytes, and the engine's request/reply round trips over loopback TCP against a raw socket
// that sends the same request and waits for the same reply.
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include "core/iolink/io_device.h"
#include "core/iolink/io_frame.h"
#include "core/iolink/io_framer.h"
#include "link/iolink/comm_process.h"

namespace {

// A megabyte of status replies with a little noise between them, as a busy line would carry.
std::string receivedStream() {
    tarn::IoDeviceModel device;
    const std::string reply = *tarn::buildIoFrame(device.answer("030"));
    std::string out;
    while (out.size() < (1u << 20)) out += "\r\n" + reply;
    return out;
}

void BM_IoFramer(benchmark::State& state) {
    const std::string bytes = receivedStream();
    tarn::IoFramer framer;
    std::size_t frames = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < bytes.size(); at += tarn::kMaxChunkBytes) {
            framer.feed(std::string_view(bytes).substr(at, tarn::kMaxChunkBytes),
                        [&](std::string_view f) { frames += f.size() != 0; });
        }
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_IoFramer);

// The floor: finding every line feed with memchr, the least a cutter must do.
void BM_MemchrLineFeeds(benchmark::State& state) {
    const std::string bytes = receivedStream();
    std::size_t lines = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < bytes.size(); at += tarn::kMaxChunkBytes) {
            const char* p = bytes.data() + at;
            const char* end = p + std::min<std::size_t>(tarn::kMaxChunkBytes, bytes.size() - at);
            while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
                ++lines;
                ++p;
            }
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_MemchrLineFeeds);

// A device on 127.0.0.1 that answers every request frame with the same status reply.
class EchoDevice {
public:
    EchoDevice() {
        server_.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
                    framer_.feed(s->readAll().toStdString(), [&](std::string_view) { s->write(reply_); });
                });
            }
        });
    }
    quint16 port() const { return server_.serverPort(); }
    static QByteArray reply() {
        tarn::IoDeviceModel device;
        return QByteArray::fromStdString(*tarn::buildIoFrame(device.answer("030")));
    }

private:
    QTcpServer server_;
    tarn::IoFramer framer_;
    QByteArray reply_ = reply();
};

void BM_EngineRoundTrips(benchmark::State& state) {
    EchoDevice device;
    tarn::CCommProcess engine;
    bool connected = false;
    QObject::connect(&engine, &tarn::CCommProcess::linkOpened, [&] { connected = true; });
    engine.ConnectNetwork(QStringLiteral("127.0.0.1"), device.port());
    while (!connected) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    int results = 0;
    QObject::connect(&engine, &tarn::CCommProcess::ioResult, [&](int, int r) { results += r == '0'; });
    for (auto _ : state) {
        const int before = results;
        engine.ReadStatus();
        while (results == before) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.SetItemsProcessed(state.iterations());
    engine.Disconnect();
}
BENCHMARK(BM_EngineRoundTrips)->UseRealTime();

void BM_RawSocketRoundTrips(benchmark::State& state) {
    EchoDevice device;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), device.port());
    socket.waitForConnected(5000);
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray request = QByteArray::fromStdString(*tarn::buildIoFrame("030"));
    const qsizetype replySize = EchoDevice::reply().size();
    qsizetype received = 0;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += socket.readAll().size(); });
    for (auto _ : state) {
        const qsizetype want = received + replySize;
        socket.write(request);
        while (received < want) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawSocketRoundTrips)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
