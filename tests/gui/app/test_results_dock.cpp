// The Results dock's Copy and Export CSV...: the lines as the list shows them (failures first), a
// message with a comma and a quote kept whole, the selection copied, and a failed write told.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include "gui/app/results_dock.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

DeviceOutcome outcome(const std::string& name, OutcomeStatus status, const std::string& message) {
    DeviceOutcome o;
    o.device.name = name;
    o.device.mac = "02:00:00:00:00:0" + name.substr(name.size() - 1);
    o.device.ip = "127.0.0." + name.substr(name.size() - 1);
    o.operation = "Set";
    o.status = status;
    o.message = message;
    return o;
}

TEST(ResultsDock, CopiesAndExportsTheLinesAsShown) {
    ScriptedPrompter prompter;
    ResultsDock dock(nullptr, &prompter);
    EXPECT_FALSE(dock.exportButton()->isEnabled());
    dock.report({outcome("Pump-1", OutcomeStatus::Ok, "set 2 rows"),
                 outcome("Pump-2", OutcomeStatus::Failed, "Location: \"Yard, north\"\tis too long")});
    ASSERT_TRUE(dock.copyButton()->isEnabled());

    const QByteArray csv =
        "Operation,Device,MAC,Address,Outcome,Message\r\n"
        "Set,Pump-2,02:00:00:00:00:02,127.0.0.2,Failed,\"Location: \"\"Yard, north\"\"\tis too long\"\r\n"
        "Set,Pump-1,02:00:00:00:00:01,127.0.0.1,OK,set 2 rows\r\n";
    EXPECT_EQ(dock.csvText(), csv);
    const QString path = scratchDir() + "/results.csv";
    ASSERT_TRUE(dock.writeCsv(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), csv);

    // Nothing selected: every line; one selected: that line under the header.
    const QString header = "Operation\tDevice\tMAC\tAddress\tOutcome\tMessage\n";
    EXPECT_EQ(dock.copyText(),
              header +
                  "Set\tPump-2\t02:00:00:00:00:02\t127.0.0.2\tFailed\tLocation: \"Yard, north\" is too "
                  "long\nSet\tPump-1\t02:00:00:00:00:01\t127.0.0.1\tOK\tset 2 rows\n");
    dock.view()->selectRow(1);
    dock.copyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(),
              header + "Set\tPump-1\t02:00:00:00:00:01\t127.0.0.1\tOK\tset 2 rows\n");

    // Two devices that answered with one MAC: a line each, counted and copied as two.
    DeviceOutcome twin = outcome("Pump-3", OutcomeStatus::Duplicate, "same MAC");
    twin.operation = "Back up";
    DeviceOutcome other = twin;
    other.device.ip = "127.0.0.9";
    dock.newCommand();
    dock.report({twin, other});
    EXPECT_EQ(dock.summary(), "Back up: 2 of 2 devices failed");
    EXPECT_EQ(dock.csvText().count("Back up,Pump-3,02:00:00:00:00:03,127.0.0."), 2);
    EXPECT_EQ(dock.copyText().count("Duplicate MAC"), 2);

    EXPECT_FALSE(dock.writeCsv(scratchDir() + "/no/such/folder/results.csv"));
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].caption, "Export CSV");
    EXPECT_NE(prompter.records()[0].text.find("could not be written to"), std::string::npos);
}

}  // namespace
}  // namespace tarn::test
