// The preview of a site table: lines appear as the devices are read, the fill helper rewrites a
// column and the table is checked again at once (Apply only when it checks clean), and one
// confirmation hands on the rows of the devices that change.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>

#include "gui/app/site_table_dialog.h"
#include "support/scripted_prompter.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

DeviceEntry pump(int n) {
    DeviceEntry d;
    d.name = "Pump-" + std::to_string(n);
    d.mac = "02:00:00:00:00:0" + std::to_string(n);
    d.ip = "127.0.0." + std::to_string(n);
    d.productId = "74";
    d.version = "1.1";
    return d;
}

std::string lines(const QTableWidget* t) {
    QString out;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c) cells << t->item(r, c)->text();
        out += cells.join('|') + '\n';
    }
    return out.toStdString();
}

TEST(SiteTableDialog, PreviewsFillsAndAppliesAfterOneConfirmation) {
    ScriptedPrompter prompter;
    const SiteRead read = parseSiteTable(
        "MAC,Device name,IP address\n02:00:00:00:00:01,Pump-1,127.0.0.3\n02:00:00:00:00:02,,127.0.0.9\n"
        "02:00:00:00:00:05,X,\n");
    SiteTableDialog dialog(read.table, {pump(1), pump(2), pump(3)}, dataDir(), prompter);
    QSignalSpy applied(&dialog, &SiteTableDialog::applyConfirmed);
    // Pump-1 would take the address that Pump-3, not listed, has now.
    EXPECT_EQ(dialog.problemsLabel()->text(),
              "line 2, column 3 (IP address): 127.0.0.3 is the IP address of Pump-3 (02:00:00:00:00:03) now");
    EXPECT_EQ(lines(dialog.preview()),
              "Pump-1|02:00:00:00:00:01|Device name|reading...|Pump-1\n"
              "Pump-1|02:00:00:00:00:01|IP address|reading...|127.0.0.3\n"
              "Pump-2|02:00:00:00:00:02|IP address|reading...|127.0.0.9\n"
              "|02:00:00:00:00:05||not in the device list (probe first)|\n");

    SiteDefinitions definitions(dataDir().toStdString() + "/");
    for (int n : {1, 2}) {
        ParameterTable values = *definitions.list("74", "1.1");
        values.setValue(values.findRow("Device name"), "Pump-" + std::to_string(n));
        values.setValue(values.findRow("IP address"), "127.0.0." + std::to_string(n));
        dialog.deviceRead(pump(n), values);
    }
    dialog.readingDone();
    EXPECT_FALSE(dialog.applyButton()->isEnabled());

    // Addresses from 10.0.0.254 in steps of 2 for the three lines: the table checks clean.
    dialog.fill(2 - 1, 0, "10.0.0.254", 2);
    EXPECT_TRUE(dialog.problemsLabel()->text().isEmpty());
    EXPECT_EQ(lines(dialog.preview()),
              "Pump-1|02:00:00:00:00:01|IP address|127.0.0.1|10.0.0.254\n"
              "Pump-2|02:00:00:00:00:02|IP address|127.0.0.2|10.0.1.0\n"
              "|02:00:00:00:00:05||not in the device list (probe first)|\n");
    dialog.fill(0, 1, "Pump", 1);
    EXPECT_EQ(prompter.messageTexts(), std::vector<std::string>{"the pattern needs {n} where the number goes"});

    prompter.answerYesNo(false);
    dialog.applyButton()->click();
    EXPECT_EQ(applied.count(), 0);
    EXPECT_EQ(prompter.records().back().text, "Set 2 rows on 2 devices now?");
    prompter.answerYesNo(true);
    ASSERT_TRUE(dialog.applyButton()->isEnabled());
    dialog.rebootBox()->setChecked(true);
    dialog.applyButton()->click();
    EXPECT_EQ(prompter.records().back().text, "Set 2 rows on 2 devices and reboot them now?");
    ASSERT_EQ(applied.count(), 1);
    EXPECT_TRUE(applied.at(0).at(1).toBool());
    const auto values = applied.at(0).at(0).value<SiteValues>();
    EXPECT_EQ(values.size(), 2u);
    EXPECT_EQ(values.at("02:00:00:00:00:02"),
              (std::vector<std::pair<std::string, std::string>>{{"IP address", "10.0.1.0"}}));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// The device's own password shows as dots in Now and New until the operator ticks "Show".
TEST(SiteTableDialog, PasswordsAreDotsUntilShown) {
    ScriptedPrompter prompter;
    const SiteRead read = parseSiteTable("MAC,Password\n02:00:00:00:00:01,secret\n");
    SiteTableDialog dialog(read.table, {pump(1)}, dataDir(), prompter);
    const std::string dots = "\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7";
    SiteDefinitions definitions(dataDir().toStdString() + "/");
    ParameterTable values = *definitions.list("74", "1.1");
    values.setValue(values.findRow("Password"), "admin");
    dialog.deviceRead(pump(1), values);
    dialog.readingDone();
    EXPECT_EQ(lines(dialog.preview()), "Pump-1|02:00:00:00:00:01|Password|" + dots + "|" + dots + "\n");
    dialog.showPasswordsBox()->setChecked(true);
    EXPECT_EQ(lines(dialog.preview()), "Pump-1|02:00:00:00:00:01|Password|admin|secret\n");
}

}  // namespace
}  // namespace tarn::test
