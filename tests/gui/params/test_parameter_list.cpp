// The parameter list through real mouse and key events: which click edits, the popup, Escape, and
// defined values shown by name once the list has the focus again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "core/params/dcf_parser.h"
#include "gui/params/parameter_list.h"
#include "gui/params/parameter_model.h"
#include "support/test_paths.h"
#include "support/wait.h"

namespace tarn {
namespace {

class ParameterListTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile file(test::dataDir() + "/TARN-IO_1.1.dcf");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const DcfParseResult parsed = parseDeviceConfiguration(file.readAll().toStdString());
        ASSERT_TRUE(parsed.ok);
        set = parsed.set;
        table.setDefinitions(&set);
        table.showGroup(3);  // Network
        table.setValue(row("IP mode"), "Static");
        table.setValue(row("Idle timeout"), "30  s");
        list.resize(600, 400);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    int row(const std::string& name) { return table.findRow(name); }
    void click(int r, int column) {
        const QRect cell = list.visualRect(list.model()->index(r, column));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    }
    bool marked(int r) { return table.rowModified(r); }

    DefinitionSet set;
    ParameterTable table;
    ParameterList list{table};
};

TEST_F(ParameterListTest, TheSetupButtonStandsInsideTheSetupRowOnly) {
    auto* button = list.findChild<QWidget*>(QStringLiteral("setupButton10003"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isVisible());  // parameter rows only
    table.showSetupRow();
    const int last = table.rowCount() - 1;
    list.scrollTo(list.model()->index(last, 0));
    ASSERT_TRUE(button->isVisible());
    const QRect cell = list.visualRect(list.model()->index(last, 0));
    EXPECT_EQ(button->geometry().top(), cell.top());
    EXPECT_LE(button->geometry().bottom(), cell.bottom());
    EXPECT_LE(button->geometry().bottom(), list.viewport()->height());
}

TEST_F(ParameterListTest, OnlyTheFocusedRowsValueOpensTheEditor) {
    const int idle = row("Idle timeout");
    click(idle, 2);
    EXPECT_EQ(list.currentIndex().row(), idle);
    EXPECT_EQ(list.editor(), nullptr);
    EXPECT_FALSE(marked(idle));
    click(idle, 1);  // the parameter column of the focused row: nothing
    EXPECT_EQ(list.editor(), nullptr);

    click(idle, 2);
    ASSERT_NE(list.editor(), nullptr);
    EXPECT_TRUE(marked(idle));
    EXPECT_EQ(list.editor()->selectedText(), QStringLiteral("30  s"));
    EXPECT_EQ(list.model()->data(list.model()->index(idle, 2), Qt::ForegroundRole).value<QColor>(),
              ParameterModel::kModifiedColor);
    QTest::keyClicks(list.editor(), "0");
    QTest::keyClick(list.editor(), Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return list.editor() == nullptr; }));
    EXPECT_EQ(table.row(idle).value, "Never");  // 0 is defined as Never

    // Escape keeps the text but the value still counts as edited.
    const int port = row("Local port");
    table.setValue(port, "502");
    click(port, 0);
    click(port, 2);
    ASSERT_NE(list.editor(), nullptr);
    QTest::keyClicks(list.editor(), "9999");
    QTest::keyClick(list.editor(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return list.editor() == nullptr; }));
    EXPECT_EQ(table.row(port).value, "502");
    EXPECT_TRUE(marked(port));

    // A read-only value without an enumeration cannot be edited.
    table.showGroup(1);  // System
    const int mac = row("MAC address");
    click(mac, 2);
    click(mac, 2);
    EXPECT_EQ(list.editor(), nullptr);
    EXPECT_FALSE(marked(mac));
    EXPECT_TRUE(list.isRowHidden(row("1.1.7")));  // hidden: Factory code
}

TEST_F(ParameterListTest, AnEnumerationIsChosenFromThePopup) {
    const int mode = row("IP mode");
    click(mode, 2);
    QStringList offered;
    QTimer poll;  // picks the first entry as soon as the popup is up; bounded by the test's timeout
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible()) return;
        poll.stop();
        for (QAction* a : menu->actions()) offered << a->text();
        menu->setActiveAction(menu->actions().value(0));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    poll.start(20);
    click(mode, 2);
    ASSERT_TRUE(test::waitUntil([&] { return !offered.isEmpty() && !QApplication::activePopupWidget(); }));
    EXPECT_EQ(offered, (QStringList{"DHCP", "Static"}));
    EXPECT_EQ(table.row(mode).value, "DHCP");
    EXPECT_TRUE(marked(mode));

    // Keys reach the same editor: F2 on the focused row.
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_F2);
    ASSERT_NE(list.editor(), nullptr);
    EXPECT_TRUE(marked(row("IP address")));
    list.setFocus();

    // A read-only enumeration shows its entries, but a choice neither changes the cell nor marks it:
    // a set would refuse the row.
    const int speed = row("Link speed");
    table.setValue(speed, "100 Mbit/s");
    offered.clear();
    click(speed, 0);
    poll.start(20);
    click(speed, 2);
    ASSERT_TRUE(test::waitUntil([&] { return !offered.isEmpty() && !QApplication::activePopupWidget(); }));
    EXPECT_EQ(offered, (QStringList{"Auto", "10 Mbit/s", "100 Mbit/s"}));
    EXPECT_EQ(table.row(speed).value, "100 Mbit/s");  // the first entry was chosen
    EXPECT_FALSE(marked(speed));

    // The list changes while the popup is open (another group): the choice goes nowhere.
    click(mode, 0);
    click(mode, 2);
    QMenu* menu = nullptr;
    ASSERT_TRUE(test::waitUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }));
    table.showGroup(0);
    const std::string before = table.row(mode).value;
    menu->setActiveAction(menu->actions().value(1));
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(table.row(mode).value, before);
}

// The device's own password shows as dots of one length, in the cell and its tip; its editor masks
// it too and shows it only while "Show" is down. The user ID beside it is no secret.
TEST_F(ParameterListTest, ThePasswordShowsDotsUntilTheOperatorAsks) {
    table.showGroup(2);  // Security
    const int password = row("Password");
    ASSERT_GE(password, 0);
    table.setValue(password, "s3cr3t");
    table.setValue(row("User ID"), "s3cr3t");
    const auto shown = [&](int r, int role) { return list.model()->data(list.model()->index(r, 2), role).toString(); };
    EXPECT_EQ(shown(password, Qt::DisplayRole), QString(8, QChar(0xB7)));
    EXPECT_FALSE(shown(password, Qt::ToolTipRole).contains("s3cr3t"));
    EXPECT_EQ(shown(row("User ID"), Qt::DisplayRole), QStringLiteral("s3cr3t"));

    click(password, 2);
    click(password, 2);
    ASSERT_NE(list.editor(), nullptr);
    EXPECT_EQ(list.editor()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(list.editor()->text(), QStringLiteral("s3cr3t"));
    auto* show = list.editor()->findChild<QToolButton*>();
    ASSERT_NE(show, nullptr);
    show->click();
    ASSERT_NE(list.editor(), nullptr);  // the click does not end the editor
    EXPECT_EQ(list.editor()->echoMode(), QLineEdit::Normal);
    show->click();
    EXPECT_EQ(list.editor()->echoMode(), QLineEdit::Password);
    QTest::keyClick(list.editor(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return list.editor() == nullptr; }));
    EXPECT_EQ(table.row(password).value, "s3cr3t");
}

}  // namespace
}  // namespace tarn
