// The window's "Back up devices..." against `tarnctl fleet backup`, under the same conditions: one
// simulated site of 1,000 devices, --spacing 0 (setTiming(0, 3000) in the window), every device new
// to pwd.ini, the same devices (those `tarnctl probe` lists). Reported: the time per device of each
// (tarnctl's without its probe wait), and how long the window's event loop was kept from running
// while it backed up (StallProbe). Also how long the Results dock takes the outcomes of 10,000.
#include <benchmark/benchmark.h>
#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

#include "gui/app/backup_driver.h"
#include "gui/app/results_dock.h"
#include "gui/common/frame_state.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "window_bench.h"

namespace {

constexpr int kDevices = 1000;
constexpr int kProbeWaitMs = 500;

struct Site {
    std::unique_ptr<tarn::test::SimProcess> sim;
    QString data;
    QString port;
    std::vector<tarn::DeviceEntry> devices;
};

Site& site() {
    static Site made;
    if (made.sim) return made;
    made.data = tarn::test::scratchDataDir();
    QFile fleet(made.data + "/fleet.json");
    if (fleet.open(QIODevice::WriteOnly)) fleet.write(tarn::bench::fleetJson(kDevices));
    fleet.close();
    made.sim = std::make_unique<tarn::test::SimProcess>();
    if (!made.sim->start({"--fleet", made.data + "/fleet.json", "--device-port", "0", "--data-dir", made.data}, 120000))
        return made;
    made.port = QString::number(made.sim->devicePort());
    const auto probe = tarn::test::runProgram(
        tarn::test::tarnctlPath(), {"probe", "--json", "--broadcast", "127.255.255.255", "--device-port", made.port,
                                    "--wait", QString::number(kProbeWaitMs)});
    for (const QJsonValue& d : QJsonDocument::fromJson(probe.out.toUtf8())["devices"].toArray()) {
        tarn::DeviceEntry e;
        e.name = d["name"].toString().toStdString();
        e.ip = d["address"].toString().toStdString();
        e.mac = d["mac"].toString().toStdString();
        e.productId = QString::number(d["productId"].toInt()).toStdString();
        e.version = d["version"].toString().toStdString();
        e.addressingKind = d["addressingKind"].toInt();
        made.devices.push_back(e);
    }
    return made;
}

int backupCount(const QString& dir) { return static_cast<int>(QDir(dir).entryList({"*.CNF"}, QDir::Files).size()); }

void BM_TarnctlBackup(benchmark::State& state) {
    Site& s = site();
    if (static_cast<int>(s.devices.size()) != kDevices) return state.SkipWithError("the site did not come up");
    static int run = 0;
    for (auto _ : state) {
        QFile::remove(s.data + "/pwd.ini");
        const QString dir = s.data + "/cli-" + QString::number(run++);
        QElapsedTimer clock;
        clock.start();
        const auto r = tarn::test::runProgram(
            tarn::test::tarnctlPath(),
            {"fleet", "backup", dir, "--spacing", "0", "--id", "admin", "--password", "admin", "--broadcast",
             "127.255.255.255", "--device-port", s.port, "--data-dir", s.data, "--wait", QString::number(kProbeWaitMs)},
            600000);
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (r.exitCode != 0 || backupCount(dir) != kDevices)
            return state.SkipWithError("not every device was backed up");
        state.SetIterationTime(ms / 1000.0);
        state.counters["ms_per_device"] = (ms - kProbeWaitMs) / kDevices;
    }
}
BENCHMARK(BM_TarnctlBackup)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_WindowBackup(benchmark::State& state) {
    Site& s = site();
    if (static_cast<int>(s.devices.size()) != kDevices) return state.SkipWithError("the site did not come up");
    static int run = 0;
    tarn::FrameState frame;
    frame.devicePort = static_cast<quint16>(s.port.toUInt());
    frame.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
    frame.dataDir = s.data;
    frame.writableDir = s.data;
    QWidget window;
    tarn::test::ScriptedPrompter prompter;
    tarn::BackupDriver driver(frame, prompter, &window);
    driver.setTiming(0, 3000);
    tarn::bench::StallProbe stall;
    for (auto _ : state) {
        QFile::remove(s.data + "/pwd.ini");
        prompter.answerCredentials(tarn::Credentials{"admin", "admin"});
        const QString dir = s.data + "/window-" + QString::number(run++);
        QDir().mkpath(dir);
        bool done = false;
        const auto connection = QObject::connect(&driver, &tarn::BackupDriver::finished, [&] { done = true; });
        stall.start();
        QElapsedTimer clock;
        clock.start();
        driver.start(s.devices, dir);
        while (!done && clock.elapsed() < 600000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        stall.stop();
        QObject::disconnect(connection);
        if (!done || backupCount(dir) != kDevices) return state.SkipWithError("not every device was backed up");
        state.SetIterationTime(ms / 1000.0);
        state.counters["ms_per_device"] = ms / kDevices;
        state.counters["worst_busy_ms"] = stall.worstBusyMs();
    }
}
BENCHMARK(BM_WindowBackup)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The end of a backup of a large site in the window: the Results dock takes every device's outcome
// at once, on the window's thread.
void BM_ResultsOfALargeBackup(benchmark::State& state) {
    tarn::OperationOutcomes outcomes;
    for (int i = 0; i < state.range(0); ++i) {
        tarn::DeviceEntry device;
        device.name = "Pump" + std::to_string(i);
        device.mac = QStringLiteral("02:17:00:00:%1:%2")
                         .arg(i / 256, 2, 16, QChar('0'))
                         .arg(i % 256, 2, 16, QChar('0'))
                         .toUpper()
                         .toStdString();
        outcomes.push_back(
            {device, "Back up", i % 100 ? tarn::OutcomeStatus::Ok : tarn::OutcomeStatus::NoReply, {}, {}});
    }
    QWidget window;
    tarn::ResultsDock dock(&window);
    for (auto _ : state) {
        dock.newCommand();
        dock.report(outcomes);
    }
}
BENCHMARK(BM_ResultsOfALargeBackup)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return tarn::bench::runWindowBenchmarks(argc, argv); }
