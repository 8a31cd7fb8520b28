// File > "Apply values from table..." against tarn-sim: the preview fills in as the listed devices
// are read (a silent one and one the list does not know shown as such), Apply asks once, and only
// the devices that change are set and rebooted; every line's outcome goes to the Results dock, and
// the next probe finds the new address.
#include <algorithm>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>

#include "gui/app/main_frame.h"
#include "gui/app/results_dock.h"
#include "gui/app/site_table_driver.h"
#include "gui/discovery/left_view.h"
#include "support/file_answers.h"
#include "support/loopback_frame.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "support/test_paths.h"
#include "support/wait.h"

namespace tarn::test {
namespace {

TEST(SiteTableWindowE2E, PreviewsTheListedDevicesAndSetsTheOnesThatChange) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--fleet", sourceDir() + "/tests/e2e/fleets/fleet_window.json", "--device-port", "0",
                           "--data-dir", dataDir()}))
        << sim.output().toStdString();
    ScriptedPrompter prompter;
    CMainFrame frame(loopbackFrameState(sim.devicePort()), &prompter);
    frame.siteTableDriver()->setTiming(5, 800);
    frame.show();
    frame.action(CMainFrame::ID_PROBE)->trigger();
    ASSERT_TRUE(waitUntil([&] { return frame.leftView()->tree()->deviceCount() == 6; }));

    const QString path = scratchDir() + "/site.csv";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "MAC,Location,IP address\n02:00:00:00:03:01,\"Vault, east\",\n02:00:00:00:03:02,Roof 7,127.0.0.162\n"
        "02:00:00:00:03:03,Cellar,\n02:00:00:00:03:04,Attic,\n02:00:00:00:03:09,Shed,\n");
    file.close();
    frame.setFileAsker(answerFile(path));
    prompter.answerCredentials(Credentials{"admin", "admin"});  // pwd.ini is empty: asked once
    frame.action(CMainFrame::ID_FILE_APPLY_TABLE)->trigger();
    SiteTableDialog* dialog = frame.siteTableDriver()->dialog();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(waitUntil([&] { return dialog->applyButton()->isEnabled(); }, 15000));
    std::string lines;
    for (int r = 0; r < dialog->preview()->rowCount(); ++r) {
        for (int c : {SiteTableDialog::DeviceColumn, SiteTableDialog::RowColumn, SiteTableDialog::NowColumn,
                      SiteTableDialog::NewColumn})
            lines += dialog->preview()->item(r, c)->text().toStdString() + "|";
        lines += "\n";
    }
    EXPECT_EQ(lines,
              "Site-1|Location|Cellar|Vault, east|\nSite-2|IP address|127.0.0.152|127.0.0.162|\nSite-3||no change||\n"
              "Site-4||no-reply: No reply||\n||no-reply: no device with this MAC answered the probe||\n");

    prompter.answerYesNo(true);
    dialog->rebootBox()->setChecked(true);
    dialog->applyButton()->click();
    // Every line of the table has its result, as tarnctl gives it: set, unchanged, no reply.
    ASSERT_TRUE(waitUntil([&] { return frame.resultsDock()->model()->rowCount() == 5; }, 20000));
    std::vector<std::string> results;
    for (const DeviceOutcome& o : frame.resultsDock()->model()->outcomes())
        results.push_back(o.device.mac + " " + o.device.name + " " + std::string(statusName(o.status)) + " " +
                          o.message);
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (std::vector<std::string>{
                           "02:00:00:00:03:01 Site-1 ok set 1 row, rebooted",
                           "02:00:00:00:03:02 Site-2 ok set 1 row, rebooted",
                           "02:00:00:00:03:03 Site-3 ok no row differs",
                           "02:00:00:00:03:04 Site-4 no-reply No reply",
                           "02:00:00:00:03:09  no-reply no device with this MAC answered the probe",
                       }));
    EXPECT_EQ(prompter.records().back().text, "Set 2 rows on 2 devices and reboot them now?");

    frame.action(CMainFrame::ID_PROBE)->trigger();
    const auto addressOf = [&](const std::string& name) {
        for (int i = 0; i < frame.leftView()->tree()->shownCount(); ++i) {
            const DeviceEntry d = frame.leftView()->tree()->entry(i);
            if (d.name == name) return d.ip;
        }
        return std::string();
    };
    EXPECT_TRUE(waitUntil([&] { return addressOf("Site-2") == "127.0.0.162"; }, 15000)) << addressOf("Site-2");
}

}  // namespace
}  // namespace tarn::test
