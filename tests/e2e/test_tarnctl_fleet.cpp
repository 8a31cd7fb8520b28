// tarnctl fleet against tarn-sim: a mixed fleet (a device whose password pwd.ini has wrong, one that
// never answers, one of another product, one whose definitions are missing) backed up and applied
// to, a dry run that sends no set, and a refused value that stops everything before the probe.
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include "core/manage/credential_log.h"
#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

// tests/e2e/fleets/fleet_cli.json
constexpr const char* kPump1 = "02:00:00:00:17:61";   // admin/admin, Location "Roof"
constexpr const char* kPump2 = "02:00:00:00:17:62";   // op/secret, unknown to pwd.ini; Location "Yard"
constexpr const char* kPump3 = "02:00:00:00:17:63";   // admin/unknown: pwd.ini's admin/admin is refused
constexpr const char* kPump4 = "02:00:00:00:17:64";   // drops every management request
constexpr const char* kSensor = "02:00:00:00:17:65";  // TARN-AI 1.0
constexpr const char* kGate = "02:00:00:00:17:66";    // TARN-GW 2.0: no .dcf

class TarnctlFleet : public ::testing::Test {
protected:
    // A fleet and data of its own per test (an apply changes devices); pwd.ini knows every device but
    // Pump-2 as admin/admin.
    void SetUp() override {
        sim_ = std::make_unique<SimProcess>();
        ASSERT_TRUE(sim_->start({"--fleet", sourceDir() + "/tests/e2e/fleets/fleet_cli.json", "--device-port", "0",
                                 "--data-dir", dataDir(), "--fixed-clock"}))
            << sim_->output().toStdString();
        data_ = scratchDataDir();
        ASSERT_FALSE(data_.isEmpty());
        CredentialLog log((data_ + "/pwd.ini").toStdString());
        log.LoadLog();
        for (const char* mac : {kPump1, kPump3, kPump4, kSensor, kGate}) {
            log.AppendEntry();
            log.StoreEntry(mac, "admin", "admin", -1);
        }
        ASSERT_TRUE(log.SaveLog());
    }

    QStringList network() const {
        return {"--broadcast",   "127.255.255.255",
                "--device-port", QString::number(sim_->devicePort()),
                "--data-dir",    data_,
                "--wait",        "500"};
    }
    RunResult fleet(const QStringList& args, bool trace = false) {
        return runProgram(tarnctlPath(),
                          (trace ? QStringList{"--trace"} : QStringList{}) + QStringList{"fleet"} + args + network());
    }
    // One device's rows by name, read with `params get` (credentials from pwd.ini or given).
    QJsonObject rows(const char* address, const QStringList& more = {}) {
        const RunResult r =
            runProgram(tarnctlPath(), QStringList{"params", "get", "--json", "--address", address, "--device-port",
                                                  QString::number(sim_->devicePort()), "--data-dir", data_} +
                                          more);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QJsonObject byName;
        for (const QJsonValue& row : QJsonDocument::fromJson(r.out.toUtf8())["parameters"].toArray())
            byName[row["name"].toString()] = row;
        return byName;
    }
    QString value(const char* address, const char* name, const QStringList& more = {}) {
        return rows(address, more)[name].toObject()["value"].toString();
    }
    // The index entries by MAC.
    static std::map<QString, QJsonObject> byMac(const QByteArray& json) {
        std::map<QString, QJsonObject> out;
        const QJsonArray devices = QJsonDocument::fromJson(json).object()["devices"].toArray();
        for (const QJsonValue& d : devices) out[d["mac"].toString()] = d.toObject();
        EXPECT_EQ(out.size(), static_cast<std::size_t>(devices.size()));
        return out;
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // A backup of Pump-1 alone: the file a site standard is made from.
    QString pump1File() {
        const QString dir = data_ + "/standard";
        const RunResult r = fleet({"backup", dir, "--mac", kPump1});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return dir + "/02-00-00-00-17-61.CNF";
    }

    std::unique_ptr<SimProcess> sim_;
    QString data_;
};

TEST_F(TarnctlFleet, BacksUpAMixedFleetWithAFileAndAnEntryPerDevice) {
    const QString dir = data_ + "/site";
    const RunResult r = fleet({"backup", dir, "--id", "op", "--password", "secret"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 6) << r.out.toStdString();
    EXPECT_TRUE(
        r.out.contains(QRegularExpression("02:00:00:00:17:64 +127\\.0\\.17\\.64 +Pump-4 +no-reply +No reply\n")))
        << r.out.toStdString();

    auto index = byMac(read(dir + "/fleet.json"));
    ASSERT_EQ(index.size(), 6u) << read(dir + "/fleet.json").toStdString();
    const auto expect = [&](const char* mac, const char* status, const char* file, const char* message) {
        const QJsonObject e = index[mac];
        EXPECT_EQ(e["status"].toString(), status) << mac;
        EXPECT_EQ(e["file"].toString(), file) << mac;
        EXPECT_TRUE(e["message"].toString().startsWith(message))
            << mac << ": " << e["message"].toString().toStdString();
        EXPECT_EQ(e.keys(), (QStringList{"address", "file", "mac", "message", "name", "product", "productId", "status",
                                         "version"}));
    };
    expect(kPump1, "ok", "02-00-00-00-17-61.CNF", "");
    expect(kPump2, "ok", "02-00-00-00-17-62.CNF", "");  // --id/--password, for the device pwd.ini does not know
    expect(kPump3, "refused", "", "Error occured. Try again !!");
    expect(kPump4, "no-reply", "", "No reply");
    expect(kSensor, "ok", "02-00-00-00-17-65.CNF", "");
    expect(kGate, "no-definitions", "", "Can't find configuration file!");
    EXPECT_EQ(index[kSensor]["product"].toString(), "TARN-AI");
    EXPECT_EQ(index[kSensor]["version"].toString(), "1.0");
    EXPECT_EQ(index[kPump4]["name"].toString(), "Pump-4");
    EXPECT_EQ(index[kPump4]["address"].toString(), "127.0.17.64");
    // The files hold the devices' passwords: the folder made for them is its owner's only.
    EXPECT_EQ(QFileInfo(dir).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther),
              QFile::Permissions());
    EXPECT_EQ(QDir(dir).entryList(QDir::Files),
              (QStringList{"02-00-00-00-17-61.CNF", "02-00-00-00-17-62.CNF", "02-00-00-00-17-65.CNF", "fleet.json"}));

    // The same bytes as `cnf save` of the device (the simulator's clock stands still).
    const RunResult single =
        runProgram(tarnctlPath(), {"cnf", "save", data_ + "/single.CNF", "--address", "127.0.17.61", "--device-port",
                                   QString::number(sim_->devicePort()), "--data-dir", data_});
    ASSERT_EQ(single.exitCode, 0) << single.err.toStdString();
    const QByteArray mine = read(dir + "/02-00-00-00-17-61.CNF");
    EXPECT_TRUE(mine.startsWith("1 \t 74 \t 1.1 \n"));
    EXPECT_GT(mine.count('\n'), 20);
    EXPECT_EQ(mine, read(data_ + "/single.CNF"));

    // --json prints the index it writes; a selection that every device passes exits 0.
    const RunResult json = fleet({"backup", data_ + "/two", "--json", "--mac", kSensor, "--mac", "02-00-00-00-17-61"});
    EXPECT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()), QJsonDocument::fromJson(read(data_ + "/two/fleet.json")));
    EXPECT_EQ(byMac(json.out.toUtf8()).size(), 2u);
}

TEST_F(TarnctlFleet, AppliesAFileToTheDevicesOfItsProductAndVersionOnly) {
    const QString file = pump1File();
    const RunResult r =
        fleet({"apply", file, "--only", "Location,3.1.7", "--id", "op", "--password", "secret", "--json"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    auto index = byMac(r.out.toUtf8());
    ASSERT_EQ(index.size(), 6u) << r.out.toStdString();
    EXPECT_EQ(index[kPump1]["status"].toString(), "ok");
    EXPECT_EQ(index[kPump1]["message"].toString(), "no row differs");
    EXPECT_EQ(index[kPump2]["status"].toString(), "ok");
    EXPECT_EQ(index[kPump2]["message"].toString(), "set 2 rows");
    EXPECT_EQ(index[kPump3]["status"].toString(), "refused");
    EXPECT_EQ(index[kPump4]["status"].toString(), "no-reply");
    EXPECT_EQ(index[kSensor]["status"].toString(), "skipped");
    EXPECT_EQ(index[kSensor]["message"].toString(), "the file is for TARN-IO 1.1");
    EXPECT_EQ(index[kGate]["status"].toString(), "skipped");

    // Pump-2 took the two rows and nothing else; pwd.ini now knows it.
    const QJsonObject pump2 = rows("127.0.17.62");
    EXPECT_EQ(pump2["Location"].toObject()["value"].toString(), "Roof");
    EXPECT_EQ(pump2["Max connections"].toObject()["value"], 4);
    EXPECT_EQ(pump2["Device name"].toObject()["value"].toString(), "Pump-2");
    EXPECT_EQ(pump2["IP address"].toObject()["value"].toString(), "127.0.17.62");

    // A value no device can take stops the whole apply before anything goes out, probe included.
    QByteArray text = read(file);
    const QByteArray portRow =
        QStringLiteral("[%1]\t ").arg(pump2["Local port"].toObject()["index"].toInt()).toLatin1();
    const QByteArray locationRow =
        QStringLiteral("[%1]\t ").arg(pump2["Location"].toObject()["index"].toInt()).toLatin1();
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        if (line.startsWith(portRow)) line = portRow + "99999";
        if (line.startsWith(locationRow)) line = locationRow + "Basement";
    }
    QFile bad(data_ + "/bad.CNF");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(lines.join('\n'));
    bad.close();
    const RunResult refused = fleet({"apply", data_ + "/bad.CNF", "--mac", kPump2}, true);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("Local port: at most 65535")) << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains("  127.0.17.")) << "something was sent:\n" << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_EQ(value("127.0.17.62", "Location"), "Roof");

    EXPECT_EQ(fleet({"apply", file, "--only", "Serial number"}).exitCode, 2);
    EXPECT_EQ(fleet({"apply", data_ + "/none.CNF"}).exitCode, 2);
    // A run that selects nothing, or only devices of another product, did nothing: no success.
    EXPECT_EQ(fleet({"apply", file, "--name", "Nobody*"}).exitCode, 1);
    const RunResult other = fleet({"apply", file, "--mac", kSensor});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(other.err.contains("no selected device is a TARN-IO 1.1: nothing was applied"))
        << other.err.toStdString();
    EXPECT_EQ(fleet({"backup", data_ + "/x", "--mac", "02:00:00:00:17"}).exitCode, 2);
}

TEST_F(TarnctlFleet, ADryRunShowsTheRowsThatDifferAndSendsNoSet) {
    const QString file = pump1File();
    const QStringList args{"apply", file,   "--only", "Location", "--mac",      kPump2,
                           "--mac", kPump1, "--id",   "op",       "--password", "secret"};
    const RunResult dry = fleet(args + QStringList{"--dry-run"}, true);
    EXPECT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_TRUE(
        dry.out.contains(QRegularExpression("Pump-2 +ok +\\S+02-00-00-00-17-61.CNF  1 row differs: Location\n"
                                            "    Location: Yard -> Roof\n")))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains(QRegularExpression("Pump-1 +ok +\\S+  no row differs\n"))) << dry.out.toStdString();
    EXPECT_TRUE(dry.err.contains("GetValues")) << dry.err.toStdString();
    EXPECT_FALSE(dry.err.contains("SetValues")) << dry.err.toStdString();
    EXPECT_EQ(value("127.0.17.62", "Location"), "Yard");

    // The same without --dry-run sets the row: the trace would have shown it.
    const RunResult wet = fleet(args + QStringList{"--reboot"}, true);
    EXPECT_EQ(wet.exitCode, 0) << wet.err.toStdString();
    EXPECT_TRUE(wet.err.contains("SetValues")) << wet.err.toStdString();
    EXPECT_TRUE(wet.out.contains(QRegularExpression("Pump-2 +ok +\\S+  set 1 row, rebooted\n")))
        << wet.out.toStdString();
    EXPECT_EQ(value("127.0.17.62", "Location"), "Roof");
}

// Every requested device is accounted for: a MAC nobody answers with, two devices answering with one
// MAC (neither touched); a folder with an earlier backup is refused; a stopped run ends after the
// device in flight and still writes its index whole, with no temporary file left behind.
TEST_F(TarnctlFleet, EveryRequestedDeviceHasAnEntryAlsoWhenTheRunIsStopped) {
    const QString fleetFile = data_ + "/twins.json";
    QFile f(fleetFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(R"({"devices": [
        {"name": "Twin-A", "mac": "02:00:00:00:18:01", "productId": 74, "version": "1.1", "address": "127.0.18.1"},
        {"name": "Twin-B", "mac": "02:00:00:00:18:01", "productId": 74, "version": "1.1", "address": "127.0.18.2"},
        {"name": "Single", "mac": "02:00:00:00:18:03", "productId": 74, "version": "1.1", "address": "127.0.18.3"},
        {"name": "Slow", "mac": "02:00:00:00:19:01", "productId": 74, "version": "1.1", "address": "127.0.19.1",
         "count": 6, "faults": {"mgmtReplyDelayMs": 400}}]})") > 0);
    f.close();
    SimProcess twins;
    ASSERT_TRUE(twins.start({"--fleet", fleetFile, "--device-port", "0", "--data-dir", dataDir()}))
        << twins.output().toStdString();
    const QStringList net{"--broadcast",   "127.255.255.255",
                          "--device-port", QString::number(twins.devicePort()),
                          "--data-dir",    data_,
                          "--wait",        "500",
                          "--id",          "admin",
                          "--password",    "admin"};

    const QString dir = data_ + "/mixed";
    const RunResult mixed =
        runProgram(tarnctlPath(), QStringList{"fleet", "backup", dir, "--mac", "02:00:00:00:18:01", "--mac",
                                              "02:00:00:00:18:03", "--mac", "02:00:00:00:18:99"} +
                                      net);
    EXPECT_EQ(mixed.exitCode, 1) << mixed.err.toStdString();
    EXPECT_EQ(mixed.out.count('\n'), 4) << mixed.out.toStdString();
    const QJsonArray index = QJsonDocument::fromJson(read(dir + "/fleet.json")).object()["devices"].toArray();
    std::map<QString, QString> status;
    for (const QJsonValue& e : index) status[e["name"].toString() + e["mac"].toString()] = e["status"].toString();
    EXPECT_EQ(status, (std::map<QString, QString>{{"Twin-A02:00:00:00:18:01", "duplicate"},
                                                  {"Twin-B02:00:00:00:18:01", "duplicate"},
                                                  {"Single02:00:00:00:18:03", "ok"},
                                                  {"02:00:00:00:18:99", "no-reply"}}));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), (QStringList{"02-00-00-00-18-03.CNF", "fleet.json"}));

    const RunResult again = runProgram(tarnctlPath(), QStringList{"fleet", "backup", dir} + net);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_TRUE(again.err.contains("holds an earlier backup (fleet.json, 1 .CNF file)")) << again.err.toStdString();
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 2);

    // SIGTERM once the first slow device is saved: the one in flight finishes, the rest are cancelled.
    const QString slow = data_ + "/slow";
    QProcess run;
    run.start(tarnctlPath(), QStringList{"fleet", "backup", slow, "--name", "Slow*", "--spacing", "0"} + net);
    ASSERT_TRUE(run.waitForStarted(5000));
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(slow + "/02-00-00-00-19-01.CNF") && clock.elapsed() < 20000) run.waitForFinished(20);
    ASSERT_EQ(run.state(), QProcess::Running) << "the run ended before it could be stopped";
    run.terminate();
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 143) << run.readAllStandardError().toStdString();
    const QJsonArray stopped = QJsonDocument::fromJson(read(slow + "/fleet.json")).object()["devices"].toArray();
    ASSERT_EQ(stopped.size(), 6) << read(slow + "/fleet.json").toStdString();
    int ok = 0, cancelled = 0;
    for (const QJsonValue& e : stopped) ok += e["status"] == "ok" ? 1 : 0, cancelled += e["status"] == "cancelled";
    EXPECT_TRUE(ok >= 1 && cancelled >= 1 && ok + cancelled == 6) << ok << " ok, " << cancelled << " cancelled";
    EXPECT_EQ(QDir(slow).entryList(QDir::Files).size(), ok + 1);
    for (const QString& folder : {slow, data_})
        EXPECT_TRUE(QDir(folder).entryList({"*.tmp*"}, QDir::Files | QDir::Hidden).isEmpty()) << folder.toStdString();
}

// SIGINT while the second of four slow devices is read: that device still finishes (its file and
// "ok"), the two not yet started are cancelled, and the run exits 130 with its index whole. Had the
// stop been taken late, a third device would have started and the counts would differ.
TEST_F(TarnctlFleet, AnInterruptLetsTheDeviceBeingReadFinish) {
    const QString fleetFile = data_ + "/slow.json";
    QFile f(fleetFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(R"({"devices": [
        {"name": "Slow", "mac": "02:00:00:00:19:01", "productId": 74, "version": "1.1", "address": "127.0.19.1",
         "count": 4, "faults": {"mgmtReplyDelayMs": 600}}]})") > 0);
    f.close();
    SimProcess slowSim;
    ASSERT_TRUE(slowSim.start({"--fleet", fleetFile, "--device-port", "0", "--data-dir", dataDir()}))
        << slowSim.output().toStdString();
    const QString dir = data_ + "/interrupted";
    QProcess run;
    run.start(tarnctlPath(), {"--trace", "fleet", "backup", dir, "--spacing", "0", "--id", "admin", "--password",
                              "admin", "--broadcast", "127.255.255.255", "--device-port",
                              QString::number(slowSim.devicePort()), "--data-dir", data_, "--wait", "500"});
    ASSERT_TRUE(run.waitForStarted(5000));
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    const QRegularExpression secondRead("sent  127\\.0\\.19\\.2:\\d+  \\d+  GetValues ");
    while (!QString::fromLatin1(err).contains(secondRead) && clock.elapsed() < 20000 &&
           run.state() == QProcess::Running) {
        run.waitForReadyRead(20);
        err += run.readAllStandardError();
    }
    ASSERT_EQ(run.state(), QProcess::Running) << err.toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(run.processId()), SIGINT), 0);
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitCode(), 130) << run.readAllStandardError().toStdString();
    const QJsonArray index = QJsonDocument::fromJson(read(dir + "/fleet.json")).object()["devices"].toArray();
    QStringList statuses;
    for (const QJsonValue& e : index) statuses << e["status"].toString();
    EXPECT_EQ(statuses, (QStringList{"ok", "ok", "cancelled", "cancelled"}));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files),
              (QStringList{"02-00-00-00-19-01.CNF", "02-00-00-00-19-02.CNF", "fleet.json"}));
    EXPECT_TRUE(QDir(data_).entryList({"*.tmp*"}, QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
}  // namespace tarn::test
