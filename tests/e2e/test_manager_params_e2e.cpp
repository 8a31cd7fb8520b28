// Parameter management through the window against tarn-sim on loopback: select, read, edit, set,
// reboot, a refused password, a device that changes its own password, and .CNF files.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "core/manage/credential_log.h"
#include "gui/app/main_frame.h"
#include "gui/discovery/left_view.h"
#include "gui/params/manager_view.h"
#include "support/file_answers.h"
#include "support/loopback_frame.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

using namespace tarn;
using namespace tarn::test;

namespace {

class ManagerParamsE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--fleet", sourceDir() + "/tests/e2e/fleets/manager_params.json", "--device-port", "0",
                               "--data-dir", dataDir()}))
            << sim.output().toStdString();
        frame = std::make_unique<CMainFrame>(loopbackFrameState(sim.devicePort()), &prompter);
        view()->setTiming(5, 1500);
        frame->action(CMainFrame::ID_PROBE)->trigger();
        ASSERT_TRUE(waitUntil([&] { return tree()->deviceCount() == 2; }));
        tree()->sortByColumnText(0);
    }
    CManagerView* view() { return frame->managerView(); }
    DeviceTree* tree() { return frame->leftView()->tree(); }
    ParameterTable& table() { return view()->table(); }
    void click(int item, Qt::KeyboardModifiers keys = {}) {
        const QRect r = tree()->rowRect(item);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, keys, r.center());
    }
    std::string value(const std::string& name) {
        const int r = table().findRow(name);
        return r < 0 ? "<no row>" : table().row(r).value;
    }
    void edit(const std::string& name, const std::string& text) {
        const int r = table().findRow(name);
        table().beginEdit(r);
        table().setValue(r, text);
    }
    bool prompted(const std::string& text) {
        for (const auto& r : prompter.records())
            if (r.text.find(text) != std::string::npos) return true;
        return false;
    }
    std::string loggedPassword(const std::string& mac) {
        CredentialLog log((scratchLog()).toStdString());
        log.LoadLog();
        const int i = log.FindMac(mac);
        return i < 0 ? "<none>" : log.entry(i).password;
    }
    QString scratchLog() { return QDir(frame->state().writableDir).filePath("pwd.ini"); }

    SimProcess sim;
    ScriptedPrompter prompter;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(ManagerParamsE2E, ReadEditSetRebootAndKeepTheLogInStep) {
    // A wrong password is refused; the dialog comes again and the right one reads the values.
    prompter.answerCredentials(Credentials{"admin", "wrong"});
    prompter.answerCredentials(Credentials{"admin", "admin"});
    click(0);
    ASSERT_TRUE(waitUntil([&] { return value("Device name") == "Pump-A"; })) << value("Device name");
    EXPECT_TRUE(prompted("Error occured. Try again !!"));
    EXPECT_EQ(loggedPassword("02:00:00:00:01:41"), "admin");
    EXPECT_EQ(frame->groupBox()->count(), 10);
    EXPECT_EQ(frame->state().monitorAddress, "127.0.0.141");

    // Edit, set, and the device holds the new value.
    edit("Location", "Roof top");
    prompter.answerYesNo(true);   // Set Confirm
    prompter.answerYesNo(false);  // not now
    frame->action(CMainFrame::ID_SET_VALUES)->trigger();
    ASSERT_TRUE(waitUntil([&] { return prompted("Parameter values updated !"); }));
    EXPECT_FALSE(table().rowModified(table().findRow("Location")));
    table().setValue(table().findRow("Location"), "");
    view()->RequestParameterValues(0);
    ASSERT_TRUE(waitUntil([&] { return value("Location") == "Roof top"; }));

    // .CNF: save, change the cell, load: the saved text is back and marked for the next set.
    const QString folder = scratchDir();
    std::vector<FileQuestion> saveQuestions;
    view()->setFileAsker(answerFile(folder + "/pump", &saveQuestions));
    frame->action(CMainFrame::ID_FILE_SAVE)->trigger();
    ASSERT_EQ(saveQuestions.size(), 1u);
    EXPECT_EQ(QFileInfo(saveQuestions[0].start).fileName(), QStringLiteral("Pump-A"));
    const QString saved = folder + "/pump.CNF";
    ASSERT_TRUE(QFile::exists(saved));
    edit("Location", "Elsewhere");
    table().setModified(table().row(table().findRow("Location")).record, false);
    view()->loadFile(saved);
    EXPECT_EQ(value("Location"), "Roof top");
    EXPECT_TRUE(table().rowModified(table().findRow("Location")));

    // The device's own password changes: the next request is refused and the log follows silently.
    edit("Password", "n3w");
    prompter.answerYesNo(true);
    prompter.answerYesNo(false);
    const std::size_t asked = prompter.records().size();
    frame->action(CMainFrame::ID_SET_VALUES)->trigger();
    ASSERT_TRUE(waitUntil([&] { return prompter.records().size() > asked + 1; }));
    prompter.clear();
    view()->RequestParameterValues(0);
    ASSERT_TRUE(
        waitUntil([&] { return loggedPassword("02:00:00:00:01:41") == "n3w" && value("Device name") == "Pump-A"; }));
    EXPECT_TRUE(prompter.records().empty());

    // Reboot: confirmed, and the device reports it once.
    prompter.answerYesNo(true);
    frame->action(CMainFrame::ID_REBOOT)->trigger();
    ASSERT_TRUE(waitUntil([&] { return prompted("Shut down completed!. Now rebooting..."); }));
}

TEST_F(ManagerParamsE2E, TwoDevicesShowWhatTheyHaveInCommon) {
    prompter.answerCredentials(Credentials{"admin", "admin"});
    prompter.answerCredentials(Credentials{"admin", "admin"});
    click(0);
    ASSERT_TRUE(waitUntil([&] { return value("Device name") == "Pump-A"; }));
    click(1, Qt::ControlModifier);
    // Both answer: their names differ, their location does not.
    ASSERT_TRUE(waitUntil([&] { return value("Location") == "Cellar" && value("Device name") == ""; }));
    EXPECT_EQ(value("IP address"), "");
    EXPECT_EQ(value("Subnet mask"), "255.0.0.0");
    EXPECT_EQ(table().row(table().rowCount() - 1).name, "Set up Input/Output/ADC ports");
}

}  // namespace
