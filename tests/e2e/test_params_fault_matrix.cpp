// One device per management fault (a lost request, duplicate replies, stale replies, replies after
// the wait, a length overrun, a refusal in the middle of a set), driven through the window against
// tarn-sim: select, read, edit "Location", set. After each case: what the device holds (read back
// by tarnctl), what pwd.ini holds, and the list's marks.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include "core/manage/credential_log.h"
#include "gui/app/main_frame.h"
#include "gui/discovery/left_view.h"
#include "gui/params/manager_view.h"
#include "support/loopback_frame.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn;
using namespace tarn::test;

namespace {

constexpr int kReplyWaitMs = 400;  // the devices' late replies come after 900 ms

struct Case {
    const char* device;
    const char* address;
    bool valuesShown;                   // the get fills the list
    bool setConfirmed;                  // the set ends with "Parameter values updated !"
    bool marksCleared;                  // after the set
    bool repliesLate;                   // every reply comes after the wait: the get's and the set's
    const char* loggedPassword;         // pwd.ini afterwards ("<none>": no entry)
    std::vector<std::string> messages;  // message boxes in order (reboot question not counted)
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.device; }

class FaultMatrix : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        sim_ = new SimProcess;
        ASSERT_TRUE(sim_->start({"--fleet", sourceDir() + "/tests/e2e/fleets/fault_matrix.json", "--device-port", "0",
                                 "--data-dir", dataDir()}))
            << sim_->output().toStdString();
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override {
        frame = std::make_unique<CMainFrame>(loopbackFrameState(sim_->devicePort()), &prompter);
        frame->managerView()->setTiming(5, kReplyWaitMs);
        frame->action(CMainFrame::ID_PROBE)->trigger();
        ASSERT_TRUE(waitUntil([&] { return tree()->deviceCount() == 6; }));
        tree()->sortByColumnText(0);
    }
    DeviceTree* tree() { return frame->leftView()->tree(); }
    ParameterTable& table() { return frame->managerView()->table(); }
    int row(const std::string& name) { return table().findRow(name); }
    void select(const QString& name) {
        for (int i = 0; i < tree()->shownCount(); ++i) {
            if (QString::fromStdString(tree()->entry(i).name) != name) continue;
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->rowRect(i).center());
            return;
        }
        FAIL() << "no device " << name.toStdString();
    }
    bool asked(const std::string& text) {
        for (const auto& r : prompter.records())
            if (r.text == text) return true;
        return false;
    }
    std::string loggedPassword(const std::string& mac) {
        CredentialLog log(QDir(frame->state().writableDir).filePath("pwd.ini").toStdString());
        log.LoadLog();
        const int i = log.FindMac(mac);
        return i < 0 ? "<none>" : log.entry(i).password;
    }
    // The device's Location, read by tarnctl with a data folder of its own.
    QString deviceLocation(const char* address) {
        const QString folder = scratchDataDir();
        const RunResult r = runProgram(tarnctlPath(), {"params", "get", "--json", "--address", address, "--device-port",
                                                       QString::number(sim_->devicePort()), "--data-dir", folder,
                                                       "--id", "admin", "--password", "admin", "--wait", "3000"});
        for (const QJsonValue& v : QJsonDocument::fromJson(r.out.toUtf8())["parameters"].toArray())
            if (v["name"].toString() == "Location") return v["value"].toString();
        return QStringLiteral("<exit %1>").arg(r.exitCode);
    }

    static SimProcess* sim_;
    ScriptedPrompter prompter;
    std::unique_ptr<CMainFrame> frame;
};

SimProcess* FaultMatrix::sim_ = nullptr;

TEST_P(FaultMatrix, TheOperatorsEditAndTheDevicesValueSurvive) {
    const Case& c = GetParam();
    QSignalSpy late(frame->managerView(), &CManagerView::lateReplyIgnored);
    // The device's late replies, as many as the test has seen so far, come; the others come at once.
    const auto lateRepliesCome = [&](int count) {
        if (c.repliesLate) {
            ASSERT_TRUE(waitUntil([&] { return late.count() >= count; }));
        }
    };
    prompter.answerCredentials(Credentials{"admin", "admin"});
    select(c.device);
    ASSERT_TRUE(waitUntil([&] { return table().rowCount() > 0; }));
    // The get ends: values, or the wait runs out (the status bar names the device).
    ASSERT_TRUE(waitUntil([&] { return !frame->managerView()->session().busy(); }));
    EXPECT_EQ(table().row(row("Location")).value, c.valuesShown ? "Roof 7" : "");

    // The operator edits while a late reply may still be on its way.
    const int location = row("Location");
    table().beginEdit(location);
    table().setValue(location, "Cellar");
    lateRepliesCome(1);
    EXPECT_EQ(table().row(location).value, "Cellar");
    EXPECT_TRUE(table().rowModified(location));

    prompter.answerYesNo(true);                                 // Set Confirm
    prompter.answerCredentials(Credentials{"admin", "admin"});  // after a refusal
    prompter.answerYesNo(false);                                // no reboot now
    frame->action(CMainFrame::ID_SET_VALUES)->trigger();
    ASSERT_TRUE(waitUntil([&] { return !frame->managerView()->session().busy(); }, 8000));
    EXPECT_EQ(asked("Parameter values updated !\nYou have to reboot device(s) to apply changes.\n"
                    "Do you want to reboot device(s) now? "),
              c.setConfirmed);
    EXPECT_EQ(table().rowModified(location), !c.marksCleared);
    EXPECT_EQ(table().row(location).value, "Cellar");
    EXPECT_EQ(prompter.messageTexts(), c.messages);
    EXPECT_EQ(loggedPassword(tree()->selectedEntries().at(0).mac), c.loggedPassword);
    lateRepliesCome(2);  // a late set reply changes nothing either
    EXPECT_EQ(table().rowModified(location), !c.marksCleared);
    // A device whose values replies are always broken cannot be read back; its set reply said it.
    if (std::string(c.device) != "Overrun") {
        EXPECT_EQ(deviceLocation(c.address), QStringLiteral("Cellar"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    ::testing::Values(Case{"Lossy", "127.0.0.201", false, true, true, false, "admin", {}},
                      Case{"Twice", "127.0.0.202", true, true, true, false, "admin", {}},
                      Case{"Stale", "127.0.0.203", true, true, true, false, "admin", {}},
                      Case{"Late", "127.0.0.204", false, false, false, true, "<none>", {"No reply from Late"}},
                      Case{"Overrun", "127.0.0.205", false, true, true, false, "admin", {"Message length error"}},
                      Case{"Grumpy", "127.0.0.206", true, true, true, false, "admin", {"Error occured. Try again !!"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.device); });

}  // namespace
