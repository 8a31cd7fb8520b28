// tarnctl's site tables against tarn-sim: a backup folder exported as a table equals the table read
// from the devices; the table, edited, goes back with apply --values (a dry run first, which sends
// no set); a table that gives two devices one address is refused before anything is sent.
#include <gtest/gtest.h>
#include <memory>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/manage/credential_log.h"
#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

// tests/e2e/fleets/fleet_cli.json: Pump-1 and Sensor admin/admin, Pump-2 op/secret (all in pwd.ini).
constexpr const char* kRoofPump = "02:00:00:00:17:61";
constexpr const char* kYardPump = "02:00:00:00:17:62";
constexpr const char* kAiSensor = "02:00:00:00:17:65";

class TarnctlSiteTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.start({"--fleet", sourceDir() + "/tests/e2e/fleets/fleet_cli.json", "--device-port", "0",
                                "--data-dir", dataDir(), "--fixed-clock"}))
            << sim_.output().toStdString();
        data_ = scratchDataDir();
        ASSERT_FALSE(data_.isEmpty());
        CredentialLog log((data_ + "/pwd.ini").toStdString());
        log.LoadLog();
        for (const char* mac : {kRoofPump, kYardPump, kAiSensor}) {
            log.AppendEntry();
            log.StoreEntry(mac, mac == kYardPump ? "op" : "admin", mac == kYardPump ? "secret" : "admin", -1);
        }
        ASSERT_TRUE(log.SaveLog());
    }
    RunResult tarnctl(const QStringList& args, bool devices = true) {
        const QStringList network{
            "--broadcast", "127.255.255.255", "--device-port", QString::number(sim_.devicePort()), "--wait", "500"};
        return runProgram(tarnctlPath(), args + QStringList{"--data-dir", data_} + (devices ? network : QStringList{}));
    }
    QString write(const QString& name, const QByteArray& text) {
        QFile f(data_ + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        return f.fileName();
    }
    // A device's value of a row, read with params get.
    QString value(const char* address, const QString& name) {
        const RunResult r = runProgram(tarnctlPath(), {"params", "get", "--json", "--address", address, "--device-port",
                                                       QString::number(sim_.devicePort()), "--data-dir", data_});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        for (const QJsonValue& row : QJsonDocument::fromJson(r.out.toUtf8())["parameters"].toArray())
            if (row["name"].toString() == name) return row["value"].toString();
        return "<none>";
    }

    SimProcess sim_;
    QString data_;
};

TEST_F(TarnctlSiteTable, ExportedEditedAndAppliedBack) {
    const QStringList three{"--mac", kRoofPump, "--mac", kYardPump, "--mac", kAiSensor};
    const QStringList only{"--only", "Device name,IP address,Location"};
    const RunResult backup = tarnctl(QStringList{"fleet", "backup", data_ + "/backup"} + three);
    ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
    const RunResult folder = tarnctl(QStringList{"fleet", "export", data_ + "/backup", "--csv"} + only, false);
    EXPECT_EQ(folder.exitCode, 0) << folder.err.toStdString();
    EXPECT_EQ(folder.out,
              "MAC,Device name,IP address,Location\r\n02:00:00:00:17:61,Pump-1,127.0.17.61,Roof\r\n"
              "02:00:00:00:17:62,Pump-2,127.0.17.62,Yard\r\n02:00:00:00:17:65,Sensor,127.0.17.65,\r\n");
    const RunResult devices = tarnctl(QStringList{"fleet", "export", "--csv"} + only + three);
    EXPECT_EQ(devices.exitCode, 0) << devices.err.toStdString();
    EXPECT_EQ(devices.out, folder.out);

    // As a spreadsheet saves it: a BOM, a cell with a comma, blank cells that leave rows alone.
    const QString site = write("site.csv",
                               "\xEF\xBB\xBFMAC,Device name,IP address,Location\r\n"
                               "02:00:00:00:17:61,Pump-North,10.0.0.11,\"Roof, north\"\r\n"
                               "02-00-00-00-17-62,,10.0.0.12,\r\n02:00:00:00:17:65,,,Lab\r\n");
    const RunResult dry = tarnctl({"--trace", "fleet", "apply", "--values", site, "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_TRUE(
        dry.out.contains("    Device name: Pump-1 -> Pump-North\n    Location: Roof -> Roof, north\n"
                         "    IP address: 127.0.17.61 -> 10.0.0.11\n"))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("    Location:  -> Lab\n")) << dry.out.toStdString();
    EXPECT_FALSE(dry.err.contains("SetValues")) << dry.err.toStdString();

    const RunResult applied = tarnctl({"fleet", "apply", "--values", site});
    EXPECT_EQ(applied.exitCode, 0) << applied.err.toStdString() << applied.out.toStdString();
    EXPECT_EQ(value("127.0.17.61", "Location"), "Roof, north");
    EXPECT_EQ(value("127.0.17.61", "Device name"), "Pump-North");
    EXPECT_EQ(value("127.0.17.62", "IP address"), "10.0.0.12");
    EXPECT_EQ(value("127.0.17.62", "Location"), "Yard");
    EXPECT_EQ(value("127.0.17.65", "Location"), "Lab");
}

TEST_F(TarnctlSiteTable, ATableThatGivesTwoDevicesOneAddressSendsNothing) {
    const QString site = write("twice.csv",
                               "MAC,IP address,Local port\n02:00:00:00:17:61,10.0.0.5,502\n"
                               "02:00:00:00:17:62,10.0.0.5,70000\n");
    const RunResult r = tarnctl({"--trace", "fleet", "apply", "--values", site});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(
        "line 3, column 2 (IP address): 10.0.0.5 is also the IP address of Pump-1 (02:00:00:00:17:61) on line 2\n"
        "line 3, column 3 (Local port): '70000' cannot be set: at most 65535\n"))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("GetValues")) << r.err.toStdString();
    EXPECT_EQ(value("127.0.17.61", "IP address"), "127.0.17.61");
}

}  // namespace
}  // namespace tarn::test
