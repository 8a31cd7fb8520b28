// How responsive the window stays while it reads the parameters of 700 devices: the main frame
// (offscreen, shown) with 700 selected devices runs a whole-device get, and a responder on its own
// thread answers every request on loopback with a whole-device values block. A 1 ms repeating timer
// on the window's thread measures the event loop: its worst lateness during the get (maxStallMs),
// against the same loop idle just before (idleMaxStallMs), and the longest stretch of work on the
// window's thread between two ticks (maxBusyMs). Also counted: the replies the window received and
// the wall time of the get (wallMs, the slowest run).
//
// Devices are spaced by 2 ms here instead of the product's 100 ms; the longer spacing only
// stretches the run (70 s for 700 devices) without changing the work per request or per reply.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkDatagram>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include "core/discovery/management_message.h"
#include "core/manage/credential_log.h"
#include "core/params/dcf_parser.h"
#include "core/params/parameter_entry.h"
#include "core/params/value_codec.h"
#include "gui/app/main_frame.h"
#include "gui/discovery/left_view.h"
#include "gui/params/manager_view.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/management_link.h"
#include "support/loopback_frame.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"
#include "window_bench.h"

namespace {

using namespace tarn;
using bench::StallProbe;

constexpr int kDevices = 700;
constexpr int kSpacingMs = 2;
constexpr int kIdleMs = 3000;  // about as long as the get, so that both see the same machine
constexpr int kOperationLimitMs = 20000;
constexpr ByteOrder kOrder = ByteOrder::Big;  // product 74

std::string passwordOf(int device) { return "pw" + std::to_string(device); }

DeviceEntry deviceEntry(int i) {
    DeviceEntry e;
    e.name = "Device-" + std::to_string(i);
    e.ip = "127.0.0.1";
    char mac[18];
    std::snprintf(mac, sizeof mac, "02:00:00:00:%02X:%02X", i >> 8 & 0xFF, i & 0xFF);
    e.mac = mac;
    e.productId = "74";
    e.version = "1.1";
    e.foundByTypedAddress = true;  // unicast to its address, as after Quick Connect
    return e;
}

// The whole-device values block of each device: the same values but for its name.
std::vector<Bytes> deviceBodies() {
    QFile file(test::dataDir() + QStringLiteral("/TARN-IO_1.1.dcf"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.readAll();
    const DcfParseResult parsed = parseDeviceConfiguration(std::string_view(text.constData(), text.size()));
    if (!parsed.ok) return {};
    std::vector<Bytes> bodies;
    for (int i = 0; i < kDevices; ++i) {
        const std::map<std::string, std::string> values{{"Device name", "Device-" + std::to_string(i)},
                                                        {"Location", "Pump room"},
                                                        {"IP mode", "Static"},
                                                        {"IP address", "127.0.0.1"},
                                                        {"Local port", "502"}};
        Bytes block;
        for (const ParameterRecord& r : parsed.set.records) {
            const auto it = values.find(r.name);
            const auto bytes = it == values.end() ? std::nullopt : EncodeValue(r, it->second, kOrder);
            const Bytes value = bytes ? *bytes : Bytes(static_cast<std::size_t>(r.size), 0);
            block.insert(block.end(), value.begin(), value.end());
        }
        Bytes body;
        appendValueEntry(body, "0", block, kOrder);
        bodies.push_back(std::move(body));
    }
    return bodies;
}

// Answers every get request on 127.0.0.1 with the values of the device whose password it carries,
// from a thread of its own so that its work does not count as a stall of the window.
class Responder {
public:
    explicit Responder(std::vector<Bytes> bodies) : bodies_(std::move(bodies)) {
        std::promise<quint16> bound;
        auto port = bound.get_future();
        thread_.reset(QThread::create([this, &bound] { serve(bound); }));
        thread_->start();
        port_ = port.get();
    }
    ~Responder() {
        thread_->quit();
        thread_->wait();
    }
    quint16 port() const { return port_; }

private:
    void serve(std::promise<quint16>& bound) {
        QUdpSocket socket;
        if (!socket.bind(QHostAddress::LocalHost, 0)) {
            bound.set_value(0);
            return;
        }
        QObject::connect(&socket, &QUdpSocket::readyRead, [&] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram d = socket.receiveDatagram();
                const QByteArray data = d.data();
                const Bytes reply = answer(asBytes(data));
                if (!reply.empty())
                    socket.writeDatagram(reinterpret_cast<const char*>(reply.data()), static_cast<qint64>(reply.size()),
                                         d.senderAddress(), static_cast<quint16>(d.senderPort()));
            }
        });
        bound.set_value(socket.localPort());
        QEventLoop loop;
        loop.exec();  // until the thread is told to quit
    }
    Bytes answer(ByteView request) const {
        const auto head = parseReplyHeader(request, kOrder);
        if (!head || head->code != static_cast<std::uint8_t>(CommandCode::GetValues)) return {};
        int device = -1;
        for (int i = 0; i < kDevices && device < 0; ++i)
            if (head->password == passwordOf(i)) device = i;
        if (device < 0) return {};
        RequestAddress a;
        a.id = head->id;
        a.password = head->password;
        const auto built = buildRequest(a, CommandCode::GetValuesReply, bodies_[static_cast<std::size_t>(device)],
                                        kOrder, readU16(head->requestId.data(), kOrder));
        return built ? built->bytes : Bytes{};
    }

    std::vector<Bytes> bodies_;
    std::unique_ptr<QThread> thread_;
    quint16 port_ = 0;
};

struct Window {
    test::ScriptedPrompter prompter;
    std::unique_ptr<Responder> responder;
    std::unique_ptr<CMainFrame> frame;
    int replies = 0;
    bool finished = false;
    QString lastStatus;
};

bool waitFinished(Window& w, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!w.finished && clock.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return w.finished;
}

// 700 devices in the tree, all selected, their credentials in a scratch pwd.ini; a first get has run.
std::unique_ptr<Window> openWindow(std::string& error) {
    auto w = std::make_unique<Window>();
    std::vector<Bytes> bodies = deviceBodies();
    if (bodies.empty()) {
        error = "the data folder's TARN-IO 1.1 definitions did not load";
        return nullptr;
    }
    w->responder = std::make_unique<Responder>(std::move(bodies));
    if (w->responder->port() == 0) {
        error = "the responder could not bind";
        return nullptr;
    }
    const FrameState state = test::loopbackFrameState(w->responder->port());
    CredentialLog log(QDir(state.writableDir).filePath(QStringLiteral("pwd.ini")).toStdString());
    log.LoadLog();
    for (int i = 0; i < kDevices; ++i) {
        log.AppendEntry();
        log.StoreEntry(deviceEntry(i).mac, "admin", passwordOf(i), -1);
    }
    if (!log.SaveLog()) {
        error = "the credential log could not be written";
        return nullptr;
    }

    w->frame = std::make_unique<CMainFrame>(state, &w->prompter);
    CManagerView* view = w->frame->managerView();
    view->setTiming(kSpacingMs, 3000);
    QObject::connect(view->link(), &ManagementLink::replyReceived, [p = w.get()] { ++p->replies; });
    QObject::connect(view, &CManagerView::statusText, [p = w.get()](const QString& text) {
        p->lastStatus = text;
        if (!text.startsWith(QStringLiteral("Reading parameters"))) p->finished = true;
    });
    DeviceTree* tree = w->frame->leftView()->tree();
    for (int i = 0; i < kDevices; ++i) tree->appendDevice(deviceEntry(i));
    w->frame->resize(1200, 800);
    w->frame->show();
    if (!QTest::qWaitForWindowExposed(w->frame.get())) {
        error = "the window was not shown";
        return nullptr;
    }
    // Keys mark the devices; a selection made by the mouse loads them as this call does.
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Home);
    QTest::keyClick(tree, Qt::Key_End, Qt::ShiftModifier);
    view->RequestParameterValues(0);
    if (tree->SelectionCount() != kDevices || !waitFinished(*w, kOperationLimitMs)) {
        error = "the selection of 700 devices was not read: " + std::to_string(tree->SelectionCount()) + " selected, " +
                std::to_string(w->replies) + " replies, status \"" + w->lastStatus.toStdString() + "\"";
        return nullptr;
    }
    return w;
}

void BM_GetFrom700Devices(benchmark::State& state) {
    std::string error;
    const std::unique_ptr<Window> w = openWindow(error);
    if (!w) {
        state.SkipWithError(error.c_str());
        return;
    }
    StallProbe probe;
    double idleWorst = 0, operationWorst = 0, operationBusy = 0, wallWorst = 0;
    int replies = 0;
    for (auto _ : state) {
        probe.start();
        bench::runEventLoopFor(kIdleMs);
        probe.stop();
        idleWorst = std::max(idleWorst, probe.worstMs());

        w->replies = 0;
        w->finished = false;
        QElapsedTimer wall;
        probe.start();
        wall.start();
        w->frame->managerView()->RequestParameterValues(0);
        const bool done = waitFinished(*w, kOperationLimitMs);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        probe.stop();
        operationWorst = std::max(operationWorst, probe.worstMs());
        operationBusy = std::max(operationBusy, probe.worstBusyMs());
        state.SetIterationTime(seconds);
        wallWorst = std::max(wallWorst, seconds * 1e3);
        replies = w->replies;
        if (!done || !w->lastStatus.isEmpty() || replies != kDevices) {
            const std::string why = "the get did not end with every device answered: " + std::to_string(replies) +
                                    " replies, status \"" + w->lastStatus.toStdString() + "\"";
            state.SkipWithError(why.c_str());
            break;
        }
    }
    const ParameterTable& table = w->frame->managerView()->table();
    const int location = table.findRow("Location");
    if (location < 0 || table.row(location).value != "Pump room" || !w->prompter.records().empty())
        state.SkipWithError("the rows do not show the devices' values, or a message was shown");
    state.counters["maxStallMs"] = operationWorst;
    state.counters["maxBusyMs"] = operationBusy;
    state.counters["idleMaxStallMs"] = idleWorst;
    state.counters["replies"] = replies;
    state.counters["wallMs"] = wallWorst;
}
BENCHMARK(BM_GetFrom700Devices)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
