// `tarnctl fleet backup` of 1,000 simulated devices with --spacing 0, against one get round trip
// measured in the same run, in two forms:
//   - the whole `tarnctl params get` of one device (process start, its probe, the get), which is
//     what backing up a site one device at a time by script would cost per device;
//   - the bare datagram round trip of a whole-device get to one simulated device, the floor.
// The fleet's time per device leaves out the probe's fixed wait (--wait), counted once per run.
#include <benchmark/benchmark.h>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QUdpSocket>

#include "core/discovery/management_message.h"
#include "core/manage/management_requests.h"
#include "support/sim_process.h"
#include "support/test_paths.h"

namespace {

constexpr int kDevices = 1000;
constexpr int kProbeWaitMs = 300;
constexpr const char* kFirstDevice = "127.2.0.1";

struct Site {
    std::unique_ptr<tarn::test::SimProcess> sim;
    QString data;
    QString port;
};

// One simulated site for every benchmark of the run.
Site& site() {
    static Site s = [] {
        Site made;
        made.data = tarn::test::scratchDir();
        const QDir source(tarn::test::dataDir());
        for (const QString& name : source.entryList({"prodid.ini", "*.dcf"}, QDir::Files))
            QFile::copy(source.filePath(name), made.data + '/' + name);
        QFile fleet(made.data + "/fleet-1000.json");
        if (fleet.open(QIODevice::WriteOnly))
            fleet.write(QStringLiteral("{\"devices\": [{\"name\": \"Pump\", \"mac\": \"02:17:00:00:00:00\", "
                                       "\"productId\": 74, \"version\": \"1.1\", \"address\": \"%1\", "
                                       "\"count\": %2, \"io\": false}]}")
                            .arg(kFirstDevice)
                            .arg(kDevices)
                            .toUtf8());
        fleet.close();
        made.sim = std::make_unique<tarn::test::SimProcess>();
        if (made.sim->start({"--fleet", made.data + "/fleet-1000.json", "--device-port", "0", "--data-dir", made.data},
                            60000))
            made.port = QString::number(made.sim->devicePort());
        return made;
    }();
    return s;
}

void BM_FleetBackup1000(benchmark::State& state) {
    Site& s = site();
    if (s.port.isEmpty()) {
        state.SkipWithError("tarn-sim did not start");
        return;
    }
    double perDeviceMs = 0;
    int run = 0;
    for (auto _ : state) {
        const QString dir = s.data + "/backup-" + QString::number(run++);
        QElapsedTimer clock;
        clock.start();
        const auto r = tarn::test::runProgram(
            tarn::test::tarnctlPath(),
            {"fleet", "backup", dir, "--spacing", "0", "--id", "admin", "--password", "admin", "--broadcast",
             "127.255.255.255", "--device-port", s.port, "--data-dir", s.data, "--wait", QString::number(kProbeWaitMs)},
            600000);
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        if (r.exitCode != 0 || QDir(dir).entryList({"*.CNF"}, QDir::Files).size() != kDevices) {
            state.SkipWithError(("not every device was backed up: " + r.err.left(300)).toStdString().c_str());
            return;
        }
        perDeviceMs = (ms - kProbeWaitMs) / kDevices;
    }
    state.counters["ms_per_device"] = perDeviceMs;
    state.SetItemsProcessed(state.iterations() * kDevices);
}
BENCHMARK(BM_FleetBackup1000)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_ParamsGetOneDevice(benchmark::State& state) {
    Site& s = site();
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
    Site& s = site();
    QUdpSocket socket;
    if (s.port.isEmpty() || !socket.bind(QHostAddress::AnyIPv4, 0)) {
        state.SkipWithError("no simulator or no socket");
        return;
    }
    tarn::RequestAddress address;
    address.id = "admin";
    address.password = "admin";
    std::uint16_t id = 1;
    for (auto _ : state) {
        const auto request = tarn::buildRequest(address, tarn::CommandCode::GetValues, tarn::wholeDeviceGetBody(),
                                                tarn::ByteOrder::Big, id++);
        socket.writeDatagram(reinterpret_cast<const char*>(request->bytes.data()),
                             static_cast<qint64>(request->bytes.size()), QHostAddress(kFirstDevice),
                             static_cast<quint16>(s.port.toUInt()));
        if (!socket.waitForReadyRead(2000)) {
            state.SkipWithError("no reply");
            return;
        }
        while (socket.hasPendingDatagrams()) {
            QByteArray reply(static_cast<qsizetype>(socket.pendingDatagramSize()), '\0');
            socket.readDatagram(reply.data(), reply.size());
            benchmark::DoNotOptimize(reply.data());
        }
    }
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
