// tarnctl probe and the names devices give: a long name is listed whole, control characters in it
// never reach the terminal raw, and a probe that nobody answers fails.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

#include "support/sim_process.h"
#include "support/test_paths.h"

using namespace tarn::test;

namespace {

TEST(TarnctlProbeNames, LongAndControlCharacterNamesAndNobodyAnswering) {
    // 150 bytes with a tab, a newline and an escape sequence that would clear the screen.
    const QString name = "Pump\tHall\n\x1b[2J" + QString(136, 'x');
    QTemporaryFile fleet;
    ASSERT_TRUE(fleet.open());
    fleet.write(QJsonDocument(QJsonObject{{"devices", QJsonArray{QJsonObject{{"name", name},
                                                                             {"mac", "02:21:00:00:00:01"},
                                                                             {"productId", 74},
                                                                             {"version", "1.0"},
                                                                             {"address", "127.0.21.1"}}}}})
                    .toJson());
    fleet.flush();
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--fleet", fleet.fileName(), "--device-port", "0"})) << sim.output().toStdString();
    const QString port = QString::number(sim.devicePort());

    const RunResult table =
        runProgram(tarnctlPath(), {"probe", "--address", "127.0.21.1", "--device-port", port, "--wait", "400"});
    EXPECT_EQ(table.exitCode, 0) << table.err.toStdString();
    EXPECT_TRUE(table.out.contains("Pump\\tHall\\n\\x1b[2J" + QString(136, 'x'))) << table.out.toStdString();
    EXPECT_FALSE(table.out.contains(QChar('\x1b')));
    EXPECT_EQ(table.out.count('\n'), 3);  // heading, the device, the count
    EXPECT_TRUE(table.out.contains(" TARN-IO ")) << "the product by its name, as the window shows it";

    // Over more than 256 addresses a terminal is told the progress on one rewritten line; a pipe is not.
    const QStringList wide = {"probe", "--address", "127.0.21.1-127.0.22.44", "--device-port", port, "--wait", "300"};
    const RunResult piped = runProgram(tarnctlPath(), wide);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_FALSE(piped.err.contains("Probing")) << piped.err.toStdString();
    const RunResult terminal =
        runProgram("script", {"-qec", QStringList{tarnctlPath()}.join(' ') + ' ' + wide.join(' '), "/dev/null"});
    EXPECT_TRUE(terminal.out.contains("\rProbing 300 of 300 addresses\r\n")) << terminal.out.toStdString();

    const RunResult json = runProgram(
        tarnctlPath(), {"probe", "--address", "127.0.21.1", "--device-port", port, "--wait", "400", "--json"});
    const QJsonArray devices = QJsonDocument::fromJson(json.out.toUtf8())["devices"].toArray();
    ASSERT_EQ(devices.size(), 1) << json.out.toStdString();
    EXPECT_EQ(devices[0].toObject().value("name").toString(), name);

    const RunResult nobody =
        runProgram(tarnctlPath(), {"probe", "--address", "127.0.21.2", "--device-port", port, "--wait", "300"});
    EXPECT_EQ(nobody.exitCode, 2);
    EXPECT_TRUE(nobody.err.contains("tarnctl: no device answered the probe")) << nobody.err.toStdString();
}

}  // namespace
