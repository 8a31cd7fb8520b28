// tarnctl dcf show: the expanded definition set of a .dcf file as JSON or as a table, and the
// message and exit code of a refused file.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/sim_process.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

TEST(TarnctlDcf, ShowsTheExpandedSetAsJson) {
    const auto r = runProgram(tarnctlPath(), {"dcf", "show", dataDir() + "/TARN-IO_1.0.dcf", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    const QJsonArray records = root["records"].toArray();
    ASSERT_EQ(records.size(), 98);
    const QJsonObject ipMode = records[8].toObject();
    EXPECT_EQ(ipMode["id"].toString(), "3.1.1");
    EXPECT_EQ(ipMode["type"].toString(), "FLAG");
    EXPECT_EQ(ipMode["name"].toString(), "IP mode");
    EXPECT_EQ(ipMode["classLabel"].toString(), "Network");
    EXPECT_EQ(ipMode["access"].toString(), "R/W");
    EXPECT_EQ(ipMode["size"].toInt(), 1);
    EXPECT_EQ(ipMode["unit"].toString(), "");
    const QJsonArray enumeration = ipMode["enumeration"].toArray();
    ASSERT_EQ(enumeration.size(), 2);
    EXPECT_EQ(enumeration[1].toObject()["key"].toInt(), 1);
    EXPECT_EQ(enumeration[1].toObject()["text"].toString(), "Static");
    // The second instance of the inputs, made from the first.
    const QJsonObject copy = records[19].toObject();
    EXPECT_EQ(copy["id"].toString(), "4.2.1");
    EXPECT_EQ(copy["classLabel"].toString(), "Inputs/DI 2");
    const QJsonArray defined = records[17].toObject()["definedValues"].toArray();
    ASSERT_EQ(defined.size(), 1);
    EXPECT_EQ(defined[0].toObject()["value"].toInt(), 0);
    EXPECT_EQ(defined[0].toObject()["text"].toString(), "Off");

    const QJsonArray groups = root["groups"].toArray();
    ASSERT_GE(groups.size(), 3);
    EXPECT_EQ(groups.first().toObject()["label"].toString(), "All classes");
    EXPECT_EQ(groups.first().toObject()["start"].toInt(), 0);
    EXPECT_EQ(groups[4].toObject()["label"].toString(), "Inputs");
    EXPECT_EQ(groups[4].toObject()["start"].toInt(), 16);
    EXPECT_EQ(groups.last().toObject()["start"].toInt(), 98);
}

TEST(TarnctlDcf, PrintsATableAndRefusesBrokenFiles) {
    const auto table = runProgram(tarnctlPath(), {"dcf", "show", dataDir() + "/TARN-GW_1.0.dcf"});
    ASSERT_EQ(table.exitCode, 0);
    EXPECT_TRUE(table.out.contains("3.1.2      IP"));
    EXPECT_TRUE(table.out.contains("Serial/Port 2"));
    EXPECT_TRUE(table.out.contains("end entry: 30 records"));

    const QString broken = scratchDir() + "/broken.dcf";
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<version> x 1.0 2026\n<common>\nClass 1 instance = 1 start = 5 end = 6\n");
    f.close();
    const auto refused = runProgram(tarnctlPath(), {"dcf", "show", broken, "--json"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.startsWith("Can't use configuration file! \n" + broken + "\nline 4: "))
        << refused.err.toStdString();

    const auto missing = runProgram(tarnctlPath(), {"dcf", "show", scratchDir() + "/none.dcf"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith("Can't find configuration file! \n"));
    EXPECT_EQ(runProgram(tarnctlPath(), {"dcf", "list"}).exitCode, 2);
}

}  // namespace
}  // namespace tarn::test
