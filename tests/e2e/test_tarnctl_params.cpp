// tarnctl params / reboot / cnf against tarn-sim on loopback: the rows of one device, a set that the
// next get shows, credentials from the command line and from pwd.ini, configuration files, and the
// exit code of every failure.
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

constexpr const char* kPump = "127.0.0.151";      // TARN-IO 1.1, ID "op", password "secret"
constexpr const char* kOldPump = "127.0.0.152";   // TARN-IO 1.0, admin/admin
constexpr const char* kSlowPump = "127.0.0.153";  // answers management requests after 1.5 s
constexpr const char* kBroken = "127.0.0.154";    // values replies whose length overruns the datagram
constexpr const char* kGrumpy = "127.0.0.155";    // refuses its first set
constexpr const char* kRenamer = "127.0.0.156";   // gets a new name and address
constexpr const char* kNobody = "127.0.0.159";    // no device

class TarnctlParams : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = new SimProcess;
        ASSERT_TRUE(sim_->start({"--fleet", sourceDir() + "/tests/e2e/fleets/tarnctl_params.json", "--device-port", "0",
                                 "--data-dir", dataDir()}))
            << sim_->output().toStdString();
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }

    // A data folder of its own for each test, so that pwd.ini starts empty.
    void SetUp() override {
        data_ = scratchDataDir();
        ASSERT_FALSE(data_.isEmpty());
    }

    RunResult ctl(const QStringList& command, const char* address, const QStringList& more = {}) {
        return runProgram(tarnctlPath(), command +
                                             QStringList{"--address", address, "--device-port",
                                                         QString::number(sim_->devicePort()), "--data-dir", data_} +
                                             more);
    }
    // The rows of `params get --json`, by name.
    QJsonObject rowsByName(const char* address, const QStringList& more = {}) {
        const RunResult r = ctl({"params", "get", "--json"}, address, more);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QJsonObject byName;
        for (const QJsonValue& row : QJsonDocument::fromJson(r.out.toUtf8())["parameters"].toArray())
            byName[row["name"].toString()] = row;
        return byName;
    }
    QString logText() {
        QFile f(data_ + "/pwd.ini");
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }

    static SimProcess* sim_;
    QString data_;
};

SimProcess* TarnctlParams::sim_ = nullptr;

TEST_F(TarnctlParams, ReadsTheRowsWithCredentialsFromTheCommandLineOrTheLog) {
    const RunResult unknown = ctl({"params", "get"}, kPump);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.startsWith("tarnctl: no ID and password for Pump-House")) << unknown.err.toStdString();

    const RunResult wrong = ctl({"params", "get"}, kPump, {"--id", "op", "--password", "guess"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains("Error: Error occured. Try again !!")) << wrong.err.toStdString();
    EXPECT_TRUE(wrong.out.isEmpty());

    const RunResult json = ctl({"params", "get", "--json"}, kPump, {"--id", "op", "--password", "secret"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8())["parameters"].toArray();
    ASSERT_GE(rows.size(), 10);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first["index"].toInt(), 0);
    EXPECT_EQ(first["id"].toString(), "1.1.1");
    EXPECT_EQ(first["class"].toString(), "System");
    EXPECT_EQ(first["name"].toString(), "Device name");
    EXPECT_EQ(first["value"].toString(), "Pump-House");
    // The hidden "Factory code" (row 6) is no row of the output; the rows after it keep their place.
    EXPECT_EQ(rows[5].toObject()["name"].toString(), "Up time");
    EXPECT_EQ(rows[6].toObject()["index"].toInt(), 7);
    EXPECT_EQ(rows[6].toObject()["name"].toString(), "User ID");
    EXPECT_TRUE(logText().contains("Password : secret")) << logText().toStdString();

    // The password without the command line: the first line of a file, standard input, the environment.
    QFile file(data_ + "/pw");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("secret\nnot this line\n");
    file.close();
    for (const auto& [more, input] : std::vector<std::pair<QStringList, RunInput>>{
             {{"--id", "op", "--password-file", data_ + "/pw"}, {}},
             {{"--id", "op", "--password-file", "-"}, {"secret\r\n", {}}},
             {{"--id", "op"}, {{}, {"TARNCTL_PASSWORD=secret"}}},
         }) {
        const RunResult r = runProgram(tarnctlPath(),
                                       QStringList{"params", "get", "--address", kPump, "--device-port",
                                                   QString::number(sim_->devicePort()), "--data-dir", data_} +
                                           more,
                                       20000, input);
        EXPECT_EQ(r.exitCode, 0) << more.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    for (const QStringList& bad : {QStringList{"--id", "op", "--password-file", data_ + "/missing"},
                                   QStringList{"--id", "op", "--password", "x", "--password-file", data_ + "/pw"},
                                   QStringList{"--password-file", data_ + "/pw"}}) {
        const RunResult r = ctl({"params", "get"}, kPump, bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString() << ": " << r.err.toStdString();
    }

    // Accepted once, the credentials come from pwd.ini; a group is shown as the group box shows it.
    const RunResult table = ctl({"params", "get", "--group", "3"}, kPump);
    ASSERT_EQ(table.exitCode, 0) << table.err.toStdString();
    EXPECT_TRUE(table.out.contains(QRegularExpression("\\n0 +3\\.1\\.1 +Network +IP mode +(Static|DHCP)\\n")))
        << table.out.toStdString();
    EXPECT_FALSE(table.out.contains("Device name"));
    EXPECT_EQ(ctl({"params", "get", "--group", "10"}, kPump).exitCode, 2);
}

TEST_F(TarnctlParams, SetsValuesThatTheNextGetShowsAndRefusesBadOnes) {
    const QStringList login{"--id", "op", "--password", "secret"};
    const RunResult set = ctl({"params", "set", "Location=Pump room 3", "3.1.7=7", "IP mode=DHCP"}, kPump, login);
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_TRUE(set.err.isEmpty()) << set.err.toStdString();  // no reboot after the set, no message
    QJsonObject rows = rowsByName(kPump);
    EXPECT_EQ(rows["Location"].toObject()["value"].toString(), "Pump room 3");
    EXPECT_EQ(rows["Max connections"].toObject()["value"], 7);
    EXPECT_EQ(rows["IP mode"].toObject()["value"].toString(), "DHCP");

    const RunResult unknown = ctl({"params", "set", "Location=Attic", "Colour=red"}, kPump);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("'Colour'")) << unknown.err.toStdString();
    const RunResult badFlag = ctl({"params", "set", "IP mode=Sometimes"}, kPump);
    EXPECT_EQ(badFlag.exitCode, 2);
    EXPECT_EQ(badFlag.err,
              "Error: Nothing was sent. These values do not fit their parameters:\nIP mode: one of: DHCP, Static\n");
    EXPECT_EQ(ctl({"params", "set", "MAC address=00-11-22-33-44-55"}, kPump).exitCode, 2);
    EXPECT_EQ(ctl({"params", "set", "Location"}, kPump).exitCode, 2);
    // Nothing of a refused command reached the device.
    rows = rowsByName(kPump);
    EXPECT_EQ(rows["Location"].toObject()["value"].toString(), "Pump room 3");
    EXPECT_EQ(rows["MAC address"].toObject()["value"].toString(), "02-00-00-00-01-51");
}

TEST_F(TarnctlParams, ANewDevicePasswordMovesTheLogAlong) {
    ASSERT_EQ(ctl({"params", "set", "Password=new pw"}, kPump, {"--id", "op", "--password", "secret"}).exitCode, 0);
    EXPECT_TRUE(logText().contains("Password : new-/space/-pw")) << logText().toStdString();
    EXPECT_EQ(ctl({"params", "get"}, kPump, {"--id", "op", "--password", "secret"}).exitCode, 1);
    // The refused password replaced the entry, as the password dialog does; the right one repairs it.
    const RunResult back = ctl({"params", "set", "Password=secret"}, kPump, {"--id", "op", "--password", "new pw"});
    ASSERT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_EQ(ctl({"params", "get"}, kPump).exitCode, 0);
    EXPECT_EQ(ctl({"params", "get"}, kPump, {"--id", "op", "--password", "secret"}).exitCode, 0);
}

TEST_F(TarnctlParams, SavesAndLoadsConfigurationFiles) {
    const QStringList login{"--id", "op", "--password", "secret"};
    ASSERT_EQ(ctl({"params", "set", "Location=Dock 9", "Keep alive=45"}, kPump, login).exitCode, 0);
    const RunResult save = ctl({"cnf", "save", data_ + "/pump"}, kPump);
    ASSERT_EQ(save.exitCode, 0) << save.err.toStdString();
    EXPECT_TRUE(save.err.isEmpty()) << save.err.toStdString();  // no parser warning about --apply
    QFile file(data_ + "/pump.CNF");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    EXPECT_TRUE(text.startsWith("1 \t 74 \t 1.1 \n[0]\t Pump-House\n[1]\t Dock_9\n")) << text.toStdString();
    const auto write = [&](const QString& name, const QString& content) {
        QFile f(data_ + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content.toLatin1());
        return data_ + "/" + name;
    };
    // The original format's "<none>" empties nothing on the device; a file cut short is refused whole.
    const RunResult none =
        ctl({"cnf", "load", write("original.CNF", "1 \t 74 \t 1.1 \n[1]\t <none>\n"), "--apply"}, kPump);
    EXPECT_EQ(none.exitCode, 0) << none.err.toStdString();
    EXPECT_TRUE(none.out.isEmpty()) << none.out.toStdString();
    const RunResult cut = ctl({"cnf", "load", write("cut.CNF", "1 \t 74 \t 1.1 \n[1]\t Caf"), "--apply"}, kPump);
    EXPECT_EQ(cut.exitCode, 2);
    EXPECT_TRUE(cut.err.contains("the last, has no line end")) << cut.err.toStdString();
    EXPECT_EQ(rowsByName(kPump)["Location"].toObject()["value"].toString(), "Dock 9");
    // The device's own password is dots in the preview unless asked for.
    const qsizetype at = text.indexOf("]\t secret\n");
    ASSERT_GT(at, 0) << text.toStdString();
    const QString passwordFile = write("password.CNF", QString(text).replace(at, 10, "]\t other1\n"));
    EXPECT_EQ(ctl({"cnf", "load", passwordFile}, kPump).out,
              QString::fromUtf8("Password \u00B7\u00B7\u00B7\u00B7\u00B7\u00B7\u00B7\u00B7 -> "
                                "\u00B7\u00B7\u00B7\u00B7\u00B7\u00B7\u00B7\u00B7\n"));
    EXPECT_EQ(ctl({"cnf", "load", passwordFile, "--show-passwords"}, kPump).out, "Password secret -> other1\n");
    // An ID that pwd.ini could not keep is refused before anything is sent.
    const RunResult euro = ctl({"params", "get"}, kPump, {"--id", QString::fromUtf8("admin\u20AC"), "--password", "x"});
    EXPECT_EQ(euro.exitCode, 2);
    EXPECT_EQ(euro.err, "tarnctl: --id: pwd.ini could not keep it: it holds a character outside Latin-1\n");

    ASSERT_EQ(ctl({"params", "set", "Location=Elsewhere"}, kPump).exitCode, 0);
    const RunResult preview = ctl({"cnf", "load", data_ + "/pump.CNF"}, kPump);
    ASSERT_EQ(preview.exitCode, 0) << preview.err.toStdString();
    EXPECT_EQ(preview.out, "Location Elsewhere -> Dock 9\n");
    EXPECT_EQ(rowsByName(kPump)["Location"].toObject()["value"].toString(), "Elsewhere");

    ASSERT_EQ(ctl({"cnf", "load", data_ + "/pump.CNF", "--apply"}, kPump).exitCode, 0);
    const QJsonObject rows = rowsByName(kPump);
    EXPECT_EQ(rows["Location"].toObject()["value"].toString(), "Dock 9");
    EXPECT_EQ(rows["Keep alive"].toObject()["value"], 45);
    EXPECT_EQ(rows["Keep alive"].toObject()["unit"].toString(), "s");
    EXPECT_TRUE(ctl({"cnf", "load", data_ + "/pump.CNF"}, kPump).out.isEmpty());

    const RunResult other =
        ctl({"cnf", "load", data_ + "/pump.CNF", "--apply"}, kOldPump, {"--id", "admin", "--password", "admin"});
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_TRUE(other.err.contains("Saved file not match. Wrong product id & version.")) << other.err.toStdString();
    EXPECT_EQ(ctl({"cnf", "load", data_ + "/none.CNF"}, kPump).exitCode, 2);
}

TEST_F(TarnctlParams, RebootsAndReportsSilentDevices) {
    const RunResult reboot = ctl({"reboot"}, kOldPump, {"--id", "admin", "--password", "admin"});
    EXPECT_EQ(reboot.exitCode, 0) << reboot.err.toStdString();
    EXPECT_TRUE(reboot.err.contains("Done: Shut down completed!. Now rebooting...")) << reboot.err.toStdString();

    const RunResult nobody = ctl({"params", "get"}, kNobody, {"--wait", "300"});
    EXPECT_EQ(nobody.exitCode, 2);
    EXPECT_EQ(nobody.err, "tarnctl: no device answers at 127.0.0.159\n");
    // The slow device answers the probe at once but its values only after the wait.
    const RunResult slow = ctl({"params", "get"}, kSlowPump, {"--id", "admin", "--password", "admin", "--wait", "400"});
    EXPECT_EQ(slow.exitCode, 3);
    EXPECT_TRUE(slow.err.contains("no reply from Slow-Pump")) << slow.err.toStdString();
    EXPECT_EQ(ctl({"params", "get"}, kPump, {"--id", "op"}).exitCode, 2);
}

// A new name and address take effect when the device reboots, as the next probe shows; its I/O
// link moves along. An address that is not this host's is kept out of the simulator.
TEST_F(TarnctlParams, ANewNameAndAddressAnswerTheProbeOnceTheDeviceRebooted) {
    const QStringList login{"--id", "admin", "--password", "admin"};
    const auto probe = [&](const char* address) { return ctl({"probe", "--wait", "300"}, address); };
    ASSERT_EQ(ctl({"params", "set", "Device name=Moved", "IP address=127.0.0.157"}, kRenamer, login).exitCode, 0);
    EXPECT_TRUE(probe(kRenamer).out.contains(QRegularExpression("\\nRenamer +127\\.0\\.0\\.156 ")));
    ASSERT_EQ(ctl({"reboot"}, kRenamer, login).exitCode, 0);
    EXPECT_EQ(probe(kRenamer).exitCode, 2);
    const RunResult moved = probe("127.0.0.157");
    EXPECT_TRUE(moved.out.contains(QRegularExpression("\\nMoved +127\\.0\\.0\\.157 +02:00:00:00:01:56 ")))
        << moved.out.toStdString();
    const QString ioPort = sim_->ioEndpoints().at("Renamer").section(':', 1);
    EXPECT_EQ(runProgram(tarnctlPath(), {"io", "--host", "127.0.0.157", "--port", ioPort, "status"}).exitCode, 0);

    ASSERT_EQ(ctl({"params", "set", "IP address=10.1.2.3"}, "127.0.0.157", login).exitCode, 0);
    ASSERT_EQ(ctl({"reboot"}, "127.0.0.157", login).exitCode, 0);
    EXPECT_EQ(probe("127.0.0.157").exitCode, 0);
}

// Values the device cannot hold exactly: nothing of the command is sent, exit 2, and the message
// names each refused row with its limit.
TEST_F(TarnctlParams, RefusedValuesSendNothing) {
    const QStringList login{"--id", "op", "--password", "secret"};
    const QJsonObject before = rowsByName(kPump, login);
    const RunResult bad = ctl({"params", "set", "Location=Half", "Local port=99999", "Max connections=abc",
                               "IP address=999.1.2", "Device name=Seventeen chars!!", "Password=abcdefghijklmnopqrstu"},
                              kPump, login);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err,
              "Error: Nothing was sent. These values do not fit their parameters:\n"
              "Device name: at most 16 characters\n"
              "Password: at most 16 characters\n"
              "IP address: four numbers from 0 to 255 separated by \".\"\n"
              "Local port: at most 65535\n"
              "Max connections: a whole number from 0 to 255\n");
    // A read-only parameter, also one with an enumeration (which the list offers as a popup).
    const RunResult readOnly = ctl({"params", "set", "Serial number=5", "Link speed=100 Mbit/s"}, kPump);
    EXPECT_EQ(readOnly.exitCode, 2);
    EXPECT_EQ(readOnly.err,
              "Error: Nothing was sent. These values do not fit their parameters:\n"
              "Serial number: read-only\nLink speed: read-only\n");

    // A .CNF row "hello" for an address: nothing applied.
    QFile cnf(data_ + "/bad.CNF");
    ASSERT_TRUE(cnf.open(QIODevice::WriteOnly));
    cnf.write("1 \t 74 \t 1.1 \n[1]\t Changed\n[10]\t hello\n");
    cnf.close();
    const RunResult load = ctl({"cnf", "load", data_ + "/bad.CNF", "--apply"}, kPump);
    EXPECT_EQ(load.exitCode, 2);
    EXPECT_TRUE(load.err.contains("IP address: four numbers from 0 to 255")) << load.err.toStdString();

    EXPECT_EQ(rowsByName(kPump), before);
    EXPECT_TRUE(logText().contains("Password : secret \n")) << logText().toStdString();
}

// Credentials that cannot be used end the command at once with one line; a refused set, a broken
// reply and a device that keeps silent each have their exit code, and no file holds what was not read.
TEST_F(TarnctlParams, EveryFailureHasItsExitCode) {
    const RunResult tooLong = ctl({"params", "get"}, kPump, {"--id", "op", "--password", QString(256, 'p')});
    EXPECT_EQ(tooLong.exitCode, 2);
    EXPECT_EQ(tooLong.err, "tarnctl: --id and --password can each be at most 255 characters long\n");

    const RunResult broken = ctl({"params", "get"}, kBroken, {"--id", "admin", "--password", "admin"});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_TRUE(broken.err.contains("Error: Message length error")) << broken.err.toStdString();
    const RunResult save = ctl({"cnf", "save", data_ + "/broken"}, kBroken);
    EXPECT_EQ(save.exitCode, 3);
    EXPECT_FALSE(QFile::exists(data_ + "/broken.CNF"));

    // The first set is refused: exit 1, and the device keeps its value; pwd.ini keeps the entry.
    const QStringList login{"--id", "admin", "--password", "admin"};
    const RunResult refused = ctl({"params", "set", "Location=Cellar"}, kGrumpy, login);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("Error: Error occured. Try again !!")) << refused.err.toStdString();
    EXPECT_TRUE(logText().contains("MAC : 02:00:00:00:01:55 \nID : admin \nPassword : admin \n"))
        << logText().toStdString();
    EXPECT_EQ(rowsByName(kGrumpy)["Location"].toObject()["value"].toString(), "Roof 7");
    ASSERT_EQ(ctl({"params", "set", "Location=Cellar"}, kGrumpy).exitCode, 0);
    EXPECT_EQ(rowsByName(kGrumpy)["Location"].toObject()["value"].toString(), "Cellar");
}

}  // namespace
}  // namespace tarn::test
