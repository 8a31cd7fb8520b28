// The fleet commands of the window against tarn-sim on loopback: the Results dock with a silent
// device and a refused password among several, Compare with file, and Back up devices over a fleet
// of two products.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "gui/app/backup_driver.h"
#include "gui/app/main_frame.h"
#include "gui/app/results_dock.h"
#include "gui/discovery/left_view.h"
#include "gui/params/manager_view.h"
#include "gui/params/parameter_model.h"
#include "support/file_answers.h"
#include "support/loopback_frame.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn;
using namespace tarn::test;

namespace {

const Credentials kAdmin{"admin", "admin"};

class FleetWindowE2E : public ::testing::Test {
protected:
    void SetUp() override {
        // A fixed clock: the backup is compared with a later read of the same device.
        ASSERT_TRUE(sim.start({"--fleet", sourceDir() + "/tests/e2e/fleets/fleet_window.json", "--device-port", "0",
                               "--data-dir", dataDir(), "--fixed-clock"}))
            << sim.output().toStdString();
        frame = std::make_unique<CMainFrame>(loopbackFrameState(sim.devicePort()), &prompter);
        frame->managerView()->setTiming(5, 800);
        frame->show();
        frame->action(CMainFrame::ID_PROBE)->trigger();
        ASSERT_TRUE(waitUntil([&] { return tree()->deviceCount() == 6; }));
        tree()->sortByColumnText(0);
    }
    DeviceTree* tree() { return frame->leftView()->tree(); }
    ParameterTable& table() { return frame->managerView()->table(); }
    ResultsDock* results() { return frame->resultsDock(); }
    void click(int item, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, keys, tree()->rowRect(item).center());
    }
    bool idle() { return !frame->managerView()->session().busy(); }
    std::string value(const std::string& name) {
        const int r = table().findRow(name);
        return r < 0 ? "<no row>" : table().row(r).value;
    }
    // "device outcome message" per line of the Results dock, as listed.
    std::vector<std::string> resultLines() {
        std::vector<std::string> lines;
        const ResultsModel* m = results()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            std::string line;
            for (int c : {ResultsModel::Operation, ResultsModel::Device, ResultsModel::Address, ResultsModel::Outcome,
                          ResultsModel::Message})
                line += (line.empty() ? "" : " | ") + m->index(r, c).data().toString().toStdString();
            lines.push_back(line);
        }
        return lines;
    }
    QVariant cell(const std::string& name, int column, int role) {
        QAbstractItemModel* m = frame->managerView()->list()->model();
        return m->index(table().findRow(name), column).data(role);
    }

    SimProcess sim;
    ScriptedPrompter prompter;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(FleetWindowE2E, TheResultsDockOpensWithTheSilentAndTheRefusedDeviceFirst) {
    // One device read: nothing failed, the dock stays closed but lists it.
    prompter.answerCredentials(kAdmin);
    click(0);
    ASSERT_TRUE(waitUntil([&] { return idle() && value("Device name") == "Site-1"; }));
    EXPECT_FALSE(results()->isVisible());
    EXPECT_EQ(resultLines(), std::vector<std::string>{"Get | Site-1 | 127.0.0.151 | OK | "});
    EXPECT_EQ(results()->summary(), "Get: 1 device, all ok");

    // All five: Site-4 never answers, Site-5 refuses the password. By the time the refusal is
    // reported the dock is open and lists those two first.
    for (int i = 0; i < 4; ++i) prompter.answerCredentials(kAdmin);
    bool openAtRefusal = false;
    std::vector<std::string> atRefusal;
    prompter.onRecord = [&](const PromptRecord& r) {
        if (r.text != "Error occured. Try again !!" || !atRefusal.empty()) return;
        openAtRefusal = results()->isVisible();
        atRefusal = resultLines();
        EXPECT_EQ(results()->summary(), "Get: 2 of 5 devices failed");
    };
    click(4, Qt::ShiftModifier);
    const bool refused = waitUntil([&] { return !atRefusal.empty(); }, 8000);
    prompter.onRecord = nullptr;
    ASSERT_TRUE(refused);
    EXPECT_TRUE(openAtRefusal);
    EXPECT_EQ(atRefusal, (std::vector<std::string>{
                             "Get | Site-4 | 127.0.0.154 | No reply | No reply",
                             "Get | Site-5 | 127.0.0.155 | Refused | Error occured. Try again !!",
                             "Get | Site-1 | 127.0.0.151 | OK | ",
                             "Get | Site-2 | 127.0.0.152 | OK | ",
                             "Get | Site-3 | 127.0.0.153 | OK | ",
                         }));
    // Failed lines stand out in a colour of their own, dark text on it.
    const QModelIndex failed = results()->model()->index(0, ResultsModel::Outcome);
    EXPECT_EQ(failed.data(Qt::BackgroundRole).value<QColor>(), ResultsModel::kFailureColor);
    EXPECT_FALSE(results()->model()->index(2, ResultsModel::Outcome).data(Qt::BackgroundRole).isValid());

    // The session reads the devices again and asks for Site-4's password: Cancel. The same command's
    // second report updates the lines of the devices it concerns: cancelled, in grey, no failure.
    ASSERT_TRUE(waitUntil([&] { return idle() && resultLines().back().find("Cancelled") != std::string::npos; }, 8000))
        << resultLines().back();
    EXPECT_EQ(results()->summary(), "Get: 3 devices, all ok, 2 cancelled");
    EXPECT_EQ(resultLines(), (std::vector<std::string>{
                                 "Get | Site-1 | 127.0.0.151 | OK | ",
                                 "Get | Site-2 | 127.0.0.152 | OK | ",
                                 "Get | Site-3 | 127.0.0.153 | OK | ",
                                 "Get | Site-4 | 127.0.0.154 | Cancelled | Password dialog cancelled",
                                 "Get | Site-5 | 127.0.0.155 | Cancelled | Password dialog cancelled",
                             }));
    const QModelIndex cancelled = results()->model()->index(4, ResultsModel::Outcome);
    EXPECT_EQ(cancelled.data(Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
    EXPECT_FALSE(cancelled.data(Qt::BackgroundRole).isValid());

    // Closed by the operator, it is one click away in View, and a new command starts a new list.
    results()->hide();
    QAction* view = results()->toggleViewAction();
    EXPECT_EQ(view->text(), "&Results");
    view->trigger();
    EXPECT_TRUE(results()->isVisible());
    prompter.answerCredentials(kAdmin);
    click(1);
    ASSERT_TRUE(waitUntil([&] { return idle() && resultLines().size() == 1; }, 8000));
    EXPECT_EQ(resultLines().front(), "Get | Site-2 | 127.0.0.152 | OK | ");
}

TEST_F(FleetWindowE2E, CompareWithFileHighlightsTheRowsThatDifferAndMarksNothing) {
    prompter.answerCredentials(kAdmin);
    click(0);
    ASSERT_TRUE(waitUntil([&] { return idle() && value("Location") == "Cellar"; }));
    const QString folder = scratchDir();
    frame->managerView()->setFileAsker(answerFile(folder + "/site1"));
    frame->action(CMainFrame::ID_FILE_SAVE)->trigger();
    ASSERT_TRUE(QFile::exists(folder + "/site1.CNF"));

    // Site-2 is in the roof.
    prompter.answerCredentials(kAdmin);
    click(1);
    ASSERT_TRUE(waitUntil([&] { return idle() && value("Location") == "Roof 7"; }));
    frame->setFileAsker(answerFile(folder + "/site1.CNF"));
    frame->compareAction()->trigger();
    EXPECT_TRUE(prompter.messageTexts().empty());
    for (const char* name : {"Location", "Device name", "IP address"}) {
        EXPECT_EQ(cell(name, 2, Qt::BackgroundRole).value<QColor>(), ParameterModel::kComparedColor) << name;
        EXPECT_EQ(cell(name, 0, Qt::BackgroundRole).value<QColor>(), ParameterModel::kComparedColor) << name;
    }
    EXPECT_EQ(cell("Location", 2, Qt::ToolTipRole).toString(), "Roof 7\nIn the file: Cellar");
    EXPECT_EQ(cell("Device name", 1, Qt::ToolTipRole).toString(), "In the file: Site-1");
    EXPECT_FALSE(cell("Subnet mask", 2, Qt::BackgroundRole).isValid());
    const int differing = table().differingRowCount();
    EXPECT_EQ(frame->statusBar()->currentMessage(),
              QStringLiteral("%1 parameters differ from site1.CNF").arg(differing));
    for (int r = 0; r < table().recordRowCount(); ++r) EXPECT_FALSE(table().rowModified(r)) << table().row(r).name;

    // Another device of the product: the comparison follows. Site-3 is in the cellar too.
    prompter.answerCredentials(kAdmin);
    click(2);
    ASSERT_TRUE(waitUntil([&] { return idle() && value("Device name") == "Site-3"; }));
    EXPECT_FALSE(cell("Location", 2, Qt::BackgroundRole).isValid());
    EXPECT_EQ(cell("Device name", 2, Qt::ToolTipRole).toString(), "Site-3\nIn the file: Site-1");

    // A file of another version is refused, the comparison stays; the command then clears it.
    QFile other(folder + "/v10.CNF");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("1 \t 74 \t 1.0 \n[0]\t x\n");
    other.close();
    frame->compareAction()->trigger();  // clears
    EXPECT_FALSE(table().comparing());
    frame->setFileAsker(answerFile(folder + "/v10.CNF"));
    frame->compareAction()->trigger();
    ASSERT_EQ(prompter.messageTexts().size(), 1u);
    EXPECT_EQ(prompter.messageTexts().front(),
              "The file is for product 74 version 1.0; the list shows product 74 version 1.1. Choose a file saved "
              "from devices of the listed product and version.");
    EXPECT_FALSE(table().comparing());
    EXPECT_FALSE(cell("Device name", 2, Qt::BackgroundRole).isValid());
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST_F(FleetWindowE2E, BackUpDevicesWritesAFilePerDeviceAndTheIndexWithoutHoldingTheWindow) {
    click(0);
    click(5, Qt::ShiftModifier);  // all six, of two products
    ASSERT_EQ(tree()->selectedEntries().size(), 6u);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    prompter.clear();
    // One password dialog, for the first device pwd.ini does not know; its answer serves the rest.
    prompter.answerCredentials(kAdmin);
    const QString folder = scratchDir() + "/site backup";
    frame->setFileAsker(answerFile(folder));
    frame->backupDriver()->setTiming(5, 800);
    frame->action(CMainFrame::ID_FILE_BACKUP)->trigger();
    // The command returns at once; the progress dialog shows while the devices are read.
    ASSERT_TRUE(frame->backupDriver()->running());
    ASSERT_TRUE(frame->backupDriver()->progressDialog());
    EXPECT_TRUE(frame->backupDriver()->progressDialog()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !frame->backupDriver()->running(); }, 15000));
    EXPECT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records().front().text, "[ Site-1 ]");

    // The folder it made holds passwords: its owner's only.
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup |
                                                 QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther),
              QFile::Permissions());
    const QDir dir(folder);
    EXPECT_EQ(dir.entryList(QDir::Files, QDir::Name),
              (QStringList{"02-00-00-00-03-01.CNF", "02-00-00-00-03-02.CNF", "02-00-00-00-03-03.CNF",
                           "02-00-00-00-03-06.CNF", "fleet.json"}));
    EXPECT_TRUE(readAll(dir.filePath("02-00-00-00-03-02.CNF")).startsWith("1 \t 74 \t 1.1 \n"));
    EXPECT_TRUE(readAll(dir.filePath("02-00-00-00-03-06.CNF")).startsWith("1 \t 75 \t 1.0 \n"));
    const QJsonArray index = QJsonDocument::fromJson(readAll(dir.filePath("fleet.json")))["devices"].toArray();
    QStringList statuses, files;
    for (const QJsonValue& v : index) {
        statuses << v["name"].toString() + " " + v["status"].toString();
        files << v["file"].toString();
    }
    EXPECT_EQ(statuses,
              (QStringList{"Site-1 ok", "Site-2 ok", "Site-3 ok", "Site-4 no-reply", "Site-5 refused", "Zone-6 ok"}));
    EXPECT_EQ(files[1], "02-00-00-00-03-02.CNF");
    EXPECT_EQ(files[3], "");
    EXPECT_TRUE(results()->isVisible());
    EXPECT_EQ(results()->summary(), "Back up: 2 of 6 devices failed");
    EXPECT_EQ(resultLines()[0], "Back up | Site-4 | 127.0.0.154 | No reply | No reply");

    // The same bytes as tarnctl cnf save writes for the device.
    const QString cli = scratchDataDir();
    const RunResult saved = runProgram(tarnctlPath(), {"cnf", "save", cli + "/site2.CNF", "--address", "127.0.0.152",
                                                       "--device-port", QString::number(sim.devicePort()), "--data-dir",
                                                       cli, "--id", "admin", "--password", "admin", "--wait", "3000"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_EQ(readAll(cli + "/site2.CNF"), readAll(dir.filePath("02-00-00-00-03-02.CNF")));
}

TEST_F(FleetWindowE2E, ACancelledBackUpListsTheDevicesItDidNotReachAsCancelled) {
    prompter.answerCredentials(kAdmin);
    click(0);
    ASSERT_TRUE(waitUntil([&] { return idle() && value("Device name") == "Site-1"; }));
    click(2, Qt::ShiftModifier);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    const QString folder = scratchDir();
    frame->setFileAsker(answerFile(folder));
    frame->backupDriver()->setTiming(60000, 800);  // the second device would start a minute later
    frame->action(CMainFrame::ID_FILE_BACKUP)->trigger();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(folder + "/02-00-00-00-03-01.CNF"); }));
    auto* cancel = frame->backupDriver()->progressDialog()->findChild<QPushButton*>();
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->text(), "Cancel");
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !frame->backupDriver()->running(); }, 2000));
    const QJsonArray index = QJsonDocument::fromJson(readAll(folder + "/fleet.json"))["devices"].toArray();
    ASSERT_EQ(index.size(), 3);
    EXPECT_EQ(index[0]["status"].toString(), "ok");
    for (int i : {1, 2}) {
        EXPECT_EQ(index[i]["status"].toString(), "cancelled");
        EXPECT_EQ(index[i]["message"].toString(), "Cancelled");
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(results()->summary(), "Back up: 1 device, all ok, 2 cancelled");
}

}  // namespace

// The keys browse and read nothing: no password dialog opens, the list says whose values it shows,
// and Set, Save and Compare wait until Enter reads the selection. Stop (Esc) ends a read of many
// devices, and a Quick Connect over many addresses shows its progress and stops the same way.
TEST_F(FleetWindowE2E, BrowsingReadsNothingAndLongWorkShowsProgressAndStops) {
    QAction* set = frame->action(CMainFrame::ID_SET_VALUES);
    QLabel* notice = frame->managerView()->selectionNotice();
    prompter.answerCredentials(kAdmin);
    click(0);
    ASSERT_TRUE(waitUntil([&] { return idle() && value("Device name") == "Site-1"; }));
    EXPECT_TRUE(notice->isHidden() && set->isEnabled());
    prompter.clear();
    QTest::keyClick(tree(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(tree(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_TRUE(prompter.records().empty()) << "a dialog opened while browsing";
    EXPECT_EQ(notice->text(), QStringLiteral("Values of Site-1. Press Enter to read the 3 selected devices"));
    for (QAction* a : {set, frame->action(CMainFrame::ID_FILE_SAVE), frame->compareAction()})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();

    // Enter reads Site-1..5, Esc stops the read.
    QTest::keyClick(tree(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(tree(), Qt::Key_Down, Qt::ShiftModifier);
    for (int i = 0; i < 4; ++i) prompter.answerCredentials(kAdmin);
    frame->managerView()->setTiming(400, 800);
    QTest::keyClick(tree(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return frame->stopButton()->isVisible(); }));
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith("Reading parameters: 1 of 5"));
    // Stop before Site-4 (silent) and Site-5 (refusing) are asked: nothing failed, the dock stays shut.
    results()->hide();
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_TRUE(idle() && frame->stopButton()->isHidden() && !results()->isVisible());
    EXPECT_EQ(resultLines().back(), "Get | Site-5 | 127.0.0.155 | Cancelled | Stopped");

    // Quick Connect over 1,022 addresses: "Probing N of 1,022 addresses", and Esc stops it.
    frame->state().quickConnectActive = true;
    frame->state().quickConnectAddress = "127.0.0.0/22";
    frame->leftView()->probe();
    ASSERT_TRUE(waitUntil([&] { return frame->statusBar()->currentMessage().startsWith("Probing "); }));
    EXPECT_TRUE(frame->statusBar()->currentMessage().endsWith(" of 1,022 addresses"));
    EXPECT_TRUE(frame->stopAction()->isEnabled());
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_TRUE(!frame->leftView()->sweeping() && !frame->stopAction()->isEnabled());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Quick Connect stopped"));
}
