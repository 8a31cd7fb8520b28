// `tarnctl fleet backup` of simulated sites of 1,000 and 10,000 devices with --spacing 0, every
// device new to pwd.ini (a first backup: the log takes the credentials of all of them), against one
// get round trip measured in the same run:
//   - the whole `tarnctl params get` of one device (process start, its probe, the get), which is
//     what backing up a site one device at a time by script would cost per device;
//   - the bare datagram round trip of a whole-device get to one simulated device, the floor.
// Reported per site size: the time per device (leaving out the probe's fixed wait, counted once per
// run), and how often and how many bytes pwd.ini was written (watched with inotify). The time per
// device must not grow with the site, and pwd.ini is written a bounded number of times.
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <sys/inotify.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>

#include "core/discovery/management_message.h"
#include "core/discovery/reply_gate.h"
#include "core/manage/management_requests.h"
#include "link/common/qt_bytes.h"
#include "support/sim_process.h"
#include "support/test_paths.h"

namespace {

constexpr const char* kFirstDevice = "127.2.0.1";

struct Site {
    std::unique_ptr<tarn::test::SimProcess> sim;
    QString data;
    QString port;
};

// One simulated site per size for every benchmark of the run.
Site& site(int devices) {
    static std::map<int, Site> sites;
    auto [it, added] = sites.try_emplace(devices);
    Site& made = it->second;
    if (!added) return made;
    made.data = tarn::test::scratchDataDir();
    const QString fleetPath = made.data + QStringLiteral("/fleet-%1.json").arg(devices);
    QFile fleet(fleetPath);
    if (fleet.open(QIODevice::WriteOnly))
        fleet.write(QStringLiteral("{\"devices\": [{\"name\": \"Pump\", \"mac\": \"02:17:00:00:00:00\", "
                                   "\"productId\": 74, \"version\": \"1.1\", \"address\": \"%1\", "
                                   "\"count\": %2, \"io\": false}]}")
                        .arg(kFirstDevice)
                        .arg(devices)
                        .toUtf8());
    fleet.close();
    made.sim = std::make_unique<tarn::test::SimProcess>();
    if (made.sim->start({"--fleet", fleetPath, "--device-port", "0", "--data-dir", made.data}, 120000))
        made.port = QString::number(made.sim->devicePort());
    return made;
}

// Counts the replacements of pwd.ini in a folder and adds up the bytes of each.
class LogWatch {
public:
    explicit LogWatch(const QString& folder) : folder_(folder), fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) inotify_add_watch(fd_, folder.toLocal8Bit().constData(), IN_MOVED_TO);
    }
    ~LogWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    void poll() {
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = fd_ < 0 ? -1 : ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                const QString name = e->len ? QString::fromLocal8Bit(e->name) : QString();
                // Each write renames a complete new file over pwd.ini; it stays until the next write.
                if (name == QStringLiteral("pwd.ini")) {
                    ++writes;
                    bytes += QFileInfo(folder_ + '/' + name).size();
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }
    int writes = 0;
    qint64 bytes = 0;

private:
    QString folder_;
    int fd_;
};

void BM_FleetBackup(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const int probeWaitMs = devices > 2000 ? 3000 : 300;
    Site& s = site(devices);
    if (s.port.isEmpty()) {
        state.SkipWithError("tarn-sim did not start");
        return;
    }
    double perDeviceMs = 0;
    static int run = 0;  // a new folder for every run, also across repetitions
    LogWatch watch(s.data);
    for (auto _ : state) {
        QFile::remove(s.data + "/pwd.ini");  // a first backup: every device is new to the log
        watch.poll();
        watch.writes = 0;
        watch.bytes = 0;
        const QString dir = s.data + "/backup-" + QString::number(run++);
        QProcess tarnctl;
        QElapsedTimer clock;
        clock.start();
        tarnctl.start(
            tarn::test::tarnctlPath(),
            {"fleet", "backup", dir, "--spacing", "0", "--id", "admin", "--password", "admin", "--broadcast",
             "127.255.255.255", "--device-port", s.port, "--data-dir", s.data, "--wait", QString::number(probeWaitMs)});
        while (!tarnctl.waitForFinished(20)) {
            watch.poll();
            if (clock.elapsed() > 900000) tarnctl.kill();
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        watch.poll();
        state.SetIterationTime(ms / 1000.0);
        if (tarnctl.exitCode() != 0 || QDir(dir).entryList({"*.CNF"}, QDir::Files).size() != devices) {
            state.SkipWithError(
                ("not every device was backed up: " + tarnctl.readAllStandardError().left(300)).toStdString().c_str());
            return;
        }
        perDeviceMs = (ms - probeWaitMs) / devices;
    }
    state.counters["ms_per_device"] = perDeviceMs;
    state.counters["pwd_ini_writes"] = watch.writes;
    state.counters["pwd_ini_bytes"] = static_cast<double>(watch.bytes);
    state.SetItemsProcessed(state.iterations() * devices);
}
BENCHMARK(BM_FleetBackup)->Arg(1000)->Arg(10000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ParamsGetOneDevice(benchmark::State& state) {
    Site& s = site(1000);
    if (s.port.isEmpty()) {
        state.SkipWithError("tarn-sim did not start");
        return;
    }
    for (auto _ : state) {
        const auto r = tarn::test::runProgram(
            tarn::test::tarnctlPath(), {"params", "get", "--address", kFirstDevice, "--id", "admin", "--password",
                                        "admin", "--device-port", s.port, "--data-dir", s.data});
        if (r.exitCode != 0) {
            state.SkipWithError(("params get failed: " + r.err.left(300)).toStdString().c_str());
            return;
        }
    }
}
BENCHMARK(BM_ParamsGetOneDevice)->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_GetDatagramRoundTrip(benchmark::State& state) {
    Site& s = site(1000);
    QUdpSocket socket;
    if (s.port.isEmpty() || !socket.bind(QHostAddress::AnyIPv4, 0)) {
        state.SkipWithError("no simulator or no socket");
        return;
    }
    tarn::RequestAddress address;
    address.id = "admin";
    address.password = "admin";
    // The management link's gate is on the way, as in the programs: the request is noted, the reply
    // checked against it.
    tarn::ReplyGate gate;
    const std::string device = kFirstDevice;
    std::uint64_t taken = 0;
    for (auto _ : state) {
        const auto request = tarn::buildRequest(address, tarn::CommandCode::GetValues, tarn::wholeDeviceGetBody(),
                                                tarn::ByteOrder::Big, tarn::randomRequestId());
        gate.noteSent(request->bytes, device);
        socket.writeDatagram(reinterpret_cast<const char*>(request->bytes.data()),
                             static_cast<qint64>(request->bytes.size()), QHostAddress(kFirstDevice),
                             static_cast<quint16>(s.port.toUInt()));
        if (!socket.waitForReadyRead(2000)) {
            state.SkipWithError("no reply");
            return;
        }
        while (socket.hasPendingDatagrams()) {
            QByteArray reply(static_cast<qsizetype>(socket.pendingDatagramSize()), '\0');
            const QNetworkDatagram d = socket.receiveDatagram();
            taken += gate.check(tarn::asBytes(d.data()), d.senderAddress().toString().toStdString()) ==
                     tarn::ReplyVerdict::Accepted;
        }
    }
    if (taken != static_cast<std::uint64_t>(state.iterations())) state.SkipWithError("a reply was not taken");
}
BENCHMARK(BM_GetDatagramRoundTrip)->Iterations(500)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
