// Restores and value checks against tarn-sim, through tarnctl as an operator scripts them: a backup
// gives its device back exactly what it held (and sends nothing to it), values the device would keep
// otherwise than typed are refused before anything is sent, long credentials still write every row,
// and a pwd.ini that cannot be written is reported as what it is.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/file_size_limit.h"
#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

constexpr const char* kPump = "127.0.0.161";  // "Pump_1", op / my_pass
constexpr const char* kLong = "127.0.0.162";  // an ID and a password of 255 bytes each; a 600-byte buffer
const QString kLongId(255, 'i');
const QString kLongPassword(255, 'p');

class RestoreFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QString fleet = scratchDir() + "/restore.json";
        QFile f(fleet);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral(R"({"devices": [
            {"name": "Pump_1", "mac": "02:00:00:00:01:61", "productId": 74, "version": "1.1", "address": "%1",
             "user": "op", "password": "my_pass", "params": {"Location": "Roof_2 north"}},
            {"name": "Long", "mac": "02:00:00:00:01:62", "productId": 74, "version": "1.1", "address": "%2",
             "user": "%3", "password": "%4", "faults": {"mgmtRequestBuffer": 600}}]})")
                    .arg(QString(kPump), QString(kLong), kLongId, kLongPassword)
                    .toUtf8());
        f.close();
        sim_ = new SimProcess;
        ASSERT_TRUE(sim_->start({"--fleet", fleet, "--device-port", "0", "--data-dir", dataDir()}))
            << sim_->output().toStdString();
    }
    static void TearDownTestSuite() { delete sim_; }
    // Each test runs in a process of its own: its data folder, and so its pwd.ini, start empty.
    void SetUp() override { ASSERT_FALSE(data_.isEmpty()); }
    RunResult ctl(const QStringList& command, const char* address, const QStringList& login = {}) {
        return runProgram(tarnctlPath(), command +
                                             QStringList{"--address", address, "--device-port",
                                                         QString::number(sim_->devicePort()), "--data-dir", data_} +
                                             login);
    }
    // The device's values by row id, read with `params get`.
    QJsonObject values(const char* address, const QStringList& login = {}) {
        const RunResult r = ctl({"params", "get", "--json", "--show-passwords"}, address, login);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QJsonObject byId;
        for (const QJsonValue& row : QJsonDocument::fromJson(r.out.toUtf8())["parameters"].toArray())
            byId[row["id"].toString()] = row["value"];
        return byId;
    }

    static SimProcess* sim_;
    const QString data_ = scratchDataDir();
    const QStringList pump_{"--id", "op", "--password", "my_pass"};
};

SimProcess* RestoreFaults::sim_ = nullptr;

TEST_F(RestoreFaults, ABackupRestoresItsOwnDeviceExactlyAndADamagedFileNothing) {
    const QString backup = data_ + "/pump.CNF";
    ASSERT_EQ(ctl({"cnf", "save", backup}, kPump, pump_).exitCode, 0);
    EXPECT_EQ(QFile::permissions(backup) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
              QFile::Permissions());
    const QJsonObject before = values(kPump);
    EXPECT_EQ(before["1.1.1"].toString() + before["2.1.2"].toString(), "Pump_1my_pass");

    // Its own backup: no row differs, nothing is sent, the "_"s stay.
    RunResult restore = ctl({"cnf", "load", backup, "--apply"}, kPump);
    EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    EXPECT_EQ(restore.out, "");
    EXPECT_EQ(values(kPump), before);

    // A backup of an empty text gives the empty text back.
    ASSERT_EQ(ctl({"params", "set", "Location="}, kPump).exitCode, 0);
    const QString empty = data_ + "/empty.CNF";
    ASSERT_EQ(ctl({"cnf", "save", empty}, kPump).exitCode, 0);
    ASSERT_EQ(ctl({"cnf", "load", backup, "--apply"}, kPump).exitCode, 0);
    EXPECT_EQ(values(kPump)["1.1.2"].toString(), "Roof_2 north");
    ASSERT_EQ(ctl({"cnf", "load", empty, "--apply"}, kPump).exitCode, 0);
    EXPECT_EQ(values(kPump)["1.1.2"].toString(), "");

    // A garbage line in the middle: nothing of the file is applied.
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.insert(3, "#garbage");
    file.resize(0);
    file.write(lines.join('\n'));
    file.close();
    restore = ctl({"cnf", "load", backup, "--apply"}, kPump);
    EXPECT_EQ(restore.exitCode, 2);
    EXPECT_TRUE(restore.err.contains("The file is damaged: line 4 is not a value line")) << restore.err.toStdString();
    EXPECT_EQ(values(kPump)["1.1.2"].toString(), "");
}

TEST_F(RestoreFaults, WhatTheDeviceWouldKeepOtherwiseIsRefusedAndNothingIsSent) {
    const QJsonObject before = values(kPump, pump_);
    struct Case {
        QString assignment;
        const char* message;
    };
    const Case cases[] = {
        {QString::fromUtf8("Password=Pass\u20ac"), "Password: characters outside Latin-1 cannot be stored"},
        {QString::fromUtf8("Device name=Pump\U0001F600"), "Device name: characters outside Latin-1 cannot be stored"},
        {"6.1.2=16777217", "a number a 4-byte float holds exactly to the digits given"},
        {"Password=my-/space/-pass", "Password: pwd.ini could not keep it"},
        {"User ID=", "User ID: pwd.ini could not keep it: it is empty"},
        {"Input mode=Counter", "'Input mode' names 12 rows; give the id of the one to set: 4.1.1, 4.2.1, 4.3.1"},
    };
    for (const Case& c : cases) {
        const RunResult r = ctl({"params", "set", c.assignment, "Location=changed"}, kPump);
        EXPECT_EQ(r.exitCode, 2) << c.assignment.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
    EXPECT_EQ(values(kPump), before);

    // An id names its one row: only the second input changes.
    ASSERT_EQ(ctl({"params", "set", "4.2.1=Counter"}, kPump).exitCode, 0);
    QJsonObject after = values(kPump);
    EXPECT_EQ(after["4.2.1"].toString(), "Counter");
    after["4.2.1"] = before["4.2.1"];
    EXPECT_EQ(after, before);
}

TEST_F(RestoreFaults, LongCredentialsWriteEveryRowAndAFailedLogWriteHasItsOwnStatus) {
    const QStringList login{"--id", kLongId, "--password", kLongPassword};
    const RunResult set =
        ctl({"--trace", "params", "set", "Location=Cellar", "3.1.5=5020", "1.1.1=Long_1", "4.1.2=20", "5.3.2=7"}, kLong,
            login);
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    // One row per datagram (the credentials leave room for no more), each within the device's 600 bytes.
    EXPECT_EQ(set.err.count("SetValues  rid"), 5) << set.err.toStdString();
    const QJsonObject rows = values(kLong);
    EXPECT_EQ(QJsonArray({rows["1.1.2"], rows["3.1.5"], rows["1.1.1"], rows["4.1.2"], rows["5.3.2"]}),
              QJsonArray({"Cellar", 5020, "Long_1", 20, 7}));

    // The device takes a new password; pwd.ini cannot be rewritten (writes break off after 16 bytes).
    ASSERT_EQ(values(kPump, pump_)["2.1.2"].toString(), "my_pass");
    RunResult change;
    {
        FileSizeLimit limit(16);
        change = ctl({"params", "set", "Password=new_pass"}, kPump);
    }
    EXPECT_EQ(change.exitCode, 4) << change.err.toStdString();
    EXPECT_TRUE(change.err.contains("took its ID and password, but")) << change.err.toStdString();
    EXPECT_EQ(values(kPump, {"--id", "op", "--password", "new_pass"})["2.1.2"].toString(), "new_pass");
}

}  // namespace
}  // namespace tarn::test
