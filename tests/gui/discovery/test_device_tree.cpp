// The device list driven through real mouse and key events on the widget.
#include <cstdio>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "gui/common/frame_state.h"
#include "gui/discovery/device_tree.h"
#include "gui/discovery/left_view.h"
#include "support/scripted_prompter.h"
#include "support/wait.h"

using namespace tarn;

namespace {

DeviceEntry device(const std::string& name, const std::string& ip, const std::string& mac) {
    DeviceEntry e;
    e.name = name;
    e.ip = ip;
    e.mac = mac;
    e.productId = "74";
    e.version = "1.0";
    return e;
}

class DeviceTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.resize(800, 300);
        tree.appendDevice(device("Pump10", "10.0.0.3", "00:00:00:00:00:0A"));
        tree.appendDevice(device("Pump9", "192.168.0.2", "00:00:00:00:00:09"));
        tree.appendDevice(device("Gateway", "9.0.0.1", "00:00:00:00:00:01"));
        tree.appendDevice(device("Pump1", "10.0.0.1", "00:00:00:00:00:0b"));
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }

    QPoint centerOf(int index) { return tree.rowRect(index).center(); }
    void click(int index, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, mods, centerOf(index));
    }
    std::vector<std::string> selectedNames() {
        std::vector<std::string> names;
        for (const auto& e : tree.selectedEntries()) names.push_back(e.name);
        return names;
    }
    // The drawn selection must agree with the tree's own marks: the empty right end of the Version
    // cell is the list's background exactly on the rows without a mark.
    void expectViewMatchesMarks() {
        const QImage shot = tree.viewport()->grab().toImage();
        const int x =
            tree.header()->sectionViewportPosition(kVersionColumn) + tree.header()->sectionSize(kVersionColumn) - 4;
        for (int i = 0; i < tree.shownCount(); ++i) {
            const QColor drawn = shot.pixelColor(x, tree.rowRect(i).center().y());
            EXPECT_EQ(drawn != DeviceTree::kBackground, tree.selection().isMarked(i)) << i;
        }
    }

    DeviceTree tree;
};

}  // namespace

TEST_F(DeviceTreeTest, MouseClicksFollowTheSelectionRules) {
    QSignalSpy selected(&tree, &DeviceTree::deviceSelected);
    QSignalSpy cleared(&tree, &DeviceTree::monitorTargetCleared);
    click(1);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9"}));
    EXPECT_EQ(selected.count(), 1);
    click(3, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9", "Gateway", "Pump1"}));
    click(0, Qt::ControlModifier);
    EXPECT_EQ(tree.SelectionCount(), 4);
    expectViewMatchesMarks();
    EXPECT_EQ(selected.count(), 3);
    EXPECT_EQ(cleared.count(), 0);

    // A plain press inside the selection keeps every mark until the release.
    QTest::mousePress(tree.viewport(), Qt::LeftButton, Qt::NoModifier, centerOf(2));
    EXPECT_EQ(tree.SelectionCount(), 4);
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, Qt::NoModifier, centerOf(2));
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Gateway"}));
    EXPECT_EQ(selected.count(), 4);
    EXPECT_EQ(cleared.count(), 1);
    expectViewMatchesMarks();

    // Ctrl+click on the only marked item: nothing selected, and the view is still told.
    click(2, Qt::ControlModifier);
    EXPECT_EQ(tree.SelectionCount(), 0);
    EXPECT_EQ(selected.count(), 5);
}

TEST_F(DeviceTreeTest, ADoubleClickActsAsOneClick) {
    // Qt delivers a double-click as press, release, double-click, release.
    auto doubleClick = [&](int index, Qt::KeyboardModifiers mods) {
        click(index, mods);
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, mods, centerOf(index));
        QTest::mouseRelease(tree.viewport(), Qt::LeftButton, mods, centerOf(index));
    };
    QSignalSpy selected(&tree, &DeviceTree::deviceSelected);
    QSignalSpy cleared(&tree, &DeviceTree::monitorTargetCleared);
    doubleClick(1, Qt::NoModifier);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9"}));
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(cleared.count(), 0);

    doubleClick(3, Qt::ControlModifier);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9", "Pump1"}));
    EXPECT_EQ(selected.count(), 2);
    expectViewMatchesMarks();

    // Inside a multiple selection the click ends at the first release; the second changes nothing.
    doubleClick(3, Qt::NoModifier);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump1"}));
    EXPECT_EQ(selected.count(), 3);
    EXPECT_EQ(cleared.count(), 1);
}

// The keys browse: they move the marks and read nothing; a click and Enter read.
TEST_F(DeviceTreeTest, KeysBrowseAndOnlyAClickOrEnterReads) {
    QSignalSpy selected(&tree, &DeviceTree::deviceSelected);
    QSignalSpy marks(&tree, &DeviceTree::marksChanged);
    click(0);
    QTest::keyClick(&tree, Qt::Key_Down);
    QTest::keyClick(&tree, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump10", "Pump9"}));
    QTest::keyClicks(&tree, QStringLiteral("gat"));  // type-ahead
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Gateway"}));
    for (Qt::Key key : {Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home}) QTest::keyClick(&tree, key);
    QTest::keyClick(&tree, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tree.SelectionCount(), 4);
    EXPECT_EQ(selected.count(), 1);  // the click only
    EXPECT_EQ(marks.count(), 10);    // every key is told (for the notice over the parameters)
    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_EQ(selected.count(), 2);
    expectViewMatchesMarks();
}

TEST_F(DeviceTreeTest, RightClickSelectsOneItemOnlyWithoutAMultipleSelection) {
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, centerOf(1));
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9"}));
    click(2, Qt::ControlModifier);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, centerOf(0));
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9", "Gateway"}));
}

TEST_F(DeviceTreeTest, HeaderClicksSortAndTheSelectionStaysWithItsDevices) {
    click(1);  // Pump9
    const int deviceSection = tree.header()->sectionViewportPosition(0) + 10;
    QTest::mouseClick(tree.header()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(deviceSection, 5));
    std::vector<std::string> order;
    for (int i = 0; i < tree.deviceCount(); ++i) order.push_back(tree.entry(i).name);
    EXPECT_EQ(order, (std::vector<std::string>{"Gateway", "Pump1", "Pump9", "Pump10"}));
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9"}));
    expectViewMatchesMarks();

    QTest::mouseClick(tree.header()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(deviceSection, 5));
    EXPECT_EQ(tree.entry(0).name, "Pump10");  // descending now

    tree.sortByColumnText(1);  // IP texts: by first number
    order.clear();
    for (int i = 0; i < tree.deviceCount(); ++i) order.push_back(tree.entry(i).ip);
    EXPECT_EQ(order, (std::vector<std::string>{"9.0.0.1", "10.0.0.1", "10.0.0.3", "192.168.0.2"}));
}

// After a job the devices it was given are marked again: those listed with the same MAC text and
// address, wherever a sort has put them; the caret goes to the first of them.
TEST_F(DeviceTreeTest, ASelectionIsMarkedAgainByMacAndAddress) {
    tree.sortByColumnText(0);  // Gateway, Pump1, Pump9, Pump10
    tree.selectEntries({device("Pump9", "192.168.0.2", "00:00:00:00:00:09"),
                        device("Gateway", "9.0.0.99", "00:00:00:00:00:01"),  // answers from another address now
                        device("Pump1", "10.0.0.1", "00:00:00:00:00:0b"),
                        device("Pump10", "10.0.0.3", "00:00:00:00:00:0a"),  // not the MAC text listed
                        device("Gone", "10.0.0.9", "00:00:00:00:00:77")});
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump1", "Pump9"}));
    EXPECT_EQ(tree.selection().caret(), 2);
    expectViewMatchesMarks();
}

TEST_F(DeviceTreeTest, DuplicateTestIgnoresCaseAndWalksEveryItem) {
    EXPECT_TRUE(tree.isListed("00:00:00:00:00:0B"));
    EXPECT_TRUE(tree.isListed("00:00:00:00:00:0a"));
    EXPECT_FALSE(tree.isListed("00:00:00:00:00:0C"));
    // Items scrolled out of sight count like the visible ones.
    for (int i = 0; i < 60; ++i)
        tree.appendDevice(device("D" + std::to_string(i), "10.1.0.1", "02:00:00:00:01:" + std::to_string(10 + i)));
    tree.scrollToBottom();
    EXPECT_TRUE(tree.isListed("00:00:00:00:00:0a"));
    click(0);
    tree.scrollToBottom();
    EXPECT_EQ(tree.SelectionCount(), 1);
    EXPECT_EQ(tree.selectedEntries().front().name, "Pump10");
}

// A new probe starts a list in discovery order: the sort arrow goes, and the next header click
// sorts ascending again; the empty list says how to find devices.
TEST_F(DeviceTreeTest, DeleteAllItemsForgetsSelectionEntriesAndSorting) {
    click(0);
    tree.sortByColumnText(kNameColumn);
    tree.sortByColumnText(kNameColumn);  // descending
    tree.setEmptyHint(QStringLiteral("Press F5"));
    tree.deleteAllItems();
    EXPECT_EQ(tree.deviceCount(), 0);
    EXPECT_EQ(tree.SelectionCount(), 0);
    EXPECT_FALSE(tree.header()->isSortIndicatorShown());
    EXPECT_EQ(tree.emptyText(), QStringLiteral("Press F5"));
    tree.appendDevice(device("Zulu", "10.0.0.8", "00:00:00:00:00:98"));
    tree.appendDevice(device("Again", "10.0.0.9", "00:00:00:00:00:99"));
    tree.sortByColumnText(kNameColumn);  // ascending: the direction of the old list is forgotten
    EXPECT_EQ(tree.entry(0).name, "Again");
    EXPECT_EQ(tree.palette().color(QPalette::Base), DeviceTree::kBackground);
}

TEST_F(DeviceTreeTest, TheHoverTipIsAFramedBoxBelowTheRowInTheTreesColours) {
    auto hover = [&](int index, int column) {
        const QRect row = tree.rowRect(index);
        const QPoint at(tree.header()->sectionViewportPosition(column) + 20, row.center().y());
        QHelpEvent event(QEvent::ToolTip, at, tree.viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree.viewport(), &event);
        return row;
    };
    auto* tip = tree.findChild<QLabel*>("deviceTip");
    ASSERT_NE(tip, nullptr);
    auto pixel = [&](int x, int y) { return tip->grab().toImage().pixelColor(x, y); };

    click(0);  // Pump10 is the caret: dark tip, white text
    const QRect row = hover(0, 1);
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("10.0.0.3"));
    // Clear of the hovered row, and not lined up with the column text of the row below it.
    const QPoint rowBottomLeft = tree.viewport()->mapToGlobal(row.bottomLeft());
    EXPECT_GT(tip->geometry().top(), rowBottomLeft.y());
    EXPECT_NE(tip->geometry().left(),
              tree.viewport()->mapToGlobal(QPoint(tree.header()->sectionViewportPosition(1), 0)).x());
    // A border around the tip's own colours.
    EXPECT_EQ(pixel(0, 0), DeviceTree::kTipBorder);
    EXPECT_EQ(pixel(tip->width() - 1, tip->height() - 1), DeviceTree::kTipBorder);
    EXPECT_EQ(pixel(2, 2), QColor(128, 128, 95));
    EXPECT_EQ(tip->palette().color(QPalette::WindowText), QColor(Qt::white));

    hover(2, 0);  // another item: the tree's light yellow, black text
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("Gateway"));
    EXPECT_EQ(pixel(0, 0), DeviceTree::kTipBorder);
    EXPECT_EQ(pixel(2, 2), QColor(250, 254, 218));
    EXPECT_EQ(tip->palette().color(QPalette::WindowText), QColor(Qt::black));

    QTest::mousePress(tree.viewport(), Qt::LeftButton, Qt::NoModifier, centerOf(2));
    EXPECT_FALSE(tip->isVisible());
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, Qt::NoModifier, centerOf(2));
}

TEST(DeviceTreeWidth, AtItsPreferredWidthALongListKeepsTheLastColumnWhole) {
    DeviceTree tree;
    for (int i = 0; i < 80; ++i)
        tree.appendDevice(device("Pump-House-" + std::to_string(i + 1), "192.168.100." + std::to_string(i + 1),
                                 "00:50:C2:7A:10:" + std::to_string(10 + i)));
    tree.resize(tree.preferredWidth(), 300);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QCoreApplication::processEvents();
    ASSERT_TRUE(tree.verticalScrollBar()->isVisible());
    EXPECT_LE(tree.header()->sectionViewportPosition(kLastReplyColumn) + tree.header()->sectionSize(kLastReplyColumn),
              tree.viewport()->width());
    EXPECT_FALSE(tree.horizontalScrollBar()->isVisible());

    // Narrower than the columns, the horizontal scroll bar reaches the rest.
    tree.resize(tree.columnsWidth() / 2, 300);
    QCoreApplication::processEvents();
    EXPECT_TRUE(tree.horizontalScrollBar()->isVisible());
}

// A device that answers alone shows at once; a burst is announced to the view in one batch, no
// sooner than DeviceModel::kAnnounceMs after the last one, so that a long probe does not spend its
// time laying out every row again and again. A new probe starts afresh.
TEST(DeviceModelPace, ALoneDeviceShowsAtOnceAndABurstInOneBatch) {
    DeviceModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    auto add = [&](int i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:00:%02X:%02X", i >> 8, i & 0xFF);
        model.append(device("D" + std::to_string(i), "10.0.0.1", mac), 0);
    };
    for (int probe = 0; probe < 2; ++probe) {
        model.clear();
        inserted.clear();
        // At once: before a timer of half the pace, started with it, expires (timers that are both
        // overdue on a loaded machine still expire in order).
        QTimer halfPace;
        halfPace.setSingleShot(true);
        halfPace.setTimerType(Qt::PreciseTimer);
        bool shownInTime = false;
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &halfPace,
                         [&] { shownInTime = halfPace.isActive(); });
        add(0);
        halfPace.start(DeviceModel::kAnnounceMs / 2);
        ASSERT_TRUE(test::waitUntil([&] { return model.rowCount() == 1; }));
        EXPECT_TRUE(shownInTime);
        QObject::disconnect(&model, &QAbstractItemModel::rowsInserted, &halfPace, nullptr);
        QElapsedTimer clock;
        clock.start();
        for (int i = 1; i <= 1000; ++i) add(i);
        ASSERT_TRUE(test::waitUntil([&] { return model.rowCount() == 1001; }, 2000));
        EXPECT_GE(clock.elapsed(), DeviceModel::kAnnounceMs / 2);
        EXPECT_EQ(inserted.count(), 2) << "probe " << probe;
    }
}

TEST(DeviceInventoryView, FilterCountsKeyboardAndColumnMenu) {
    FrameState frame;
    frame.dataDir = QStringLiteral(TARN_DATA_DIR);  // prodid.ini names the products
    test::ScriptedPrompter prompter;
    CLeftView view(frame, prompter);
    DeviceTree* tree = view.tree();
    QSignalSpy counts(&view, &CLeftView::countsChanged);
    QSignalSpy selected(tree, &DeviceTree::deviceSelected);
    DeviceEntry ai = device("Sensor-7", "10.1.2.7", "00:00:00:00:00:07");
    ai.productId = "75";
    tree->appendDevice(device("Pump-1", "10.1.2.1", "00:00:00:00:00:01"));
    tree->appendDevice(ai);
    tree->appendDevice(device("Gateway", "10.1.3.1", "00:00:00:00:00:03"));
    view.resize(900, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(tree->model()->index(1, kProductColumn).data().toString(), QStringLiteral("TARN-AI"));
    EXPECT_EQ(tree->model()->headerData(kVersionColumn, Qt::Horizontal).toString(), QStringLiteral("Version"));

    QTest::keyClicks(view.filterBox(), QStringLiteral("tarn-ai"));
    ASSERT_TRUE(test::waitUntil([&] { return tree->shownCount() == 1; }));
    EXPECT_EQ(tree->entry(0).name, "Sensor-7");
    ASSERT_TRUE(test::waitUntil([&] { return !counts.isEmpty() && counts.last()[0].toString().contains("1 shown"); }));
    EXPECT_EQ(counts.last()[0].toString(), QStringLiteral("3 devices, 1 shown, 0 selected"));

    // The version is matched too.
    view.filterBox()->setText(QStringLiteral("1.0"));
    QTest::keyClick(view.filterBox(), Qt::Key_Return);
    EXPECT_EQ(tree->shownCount(), 3);
    view.filterBox()->setText(QStringLiteral("2.?"));
    QTest::keyClick(view.filterBox(), Qt::Key_Return);
    EXPECT_EQ(tree->shownCount(), 0);
    EXPECT_EQ(tree->emptyText(), QStringLiteral("No device matches the filter."));

    // Enter in the box goes on to the list; Ctrl+A marks what is shown and reads nothing, Enter
    // reads the selection.
    view.filterBox()->setText(QStringLiteral("10.1.2.*"));
    QTest::keyClick(view.filterBox(), Qt::Key_Return);
    EXPECT_EQ(tree->shownCount(), 2);
    QTest::keyClick(tree, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tree->SelectionCount(), 2);
    EXPECT_EQ(selected.size(), 0);
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(selected.size(), 1);
    EXPECT_EQ(view.countsText(), QStringLiteral("3 devices, 2 shown, 2 selected"));

    // Type-ahead moves the selection to the first name that starts with the letters typed.
    view.filterBox()->clear();
    QTest::keyClick(view.filterBox(), Qt::Key_Return);
    QTest::keyClicks(tree, QStringLiteral("ga"));
    ASSERT_EQ(tree->SelectionCount(), 1);
    EXPECT_EQ(tree->selectedEntries().front().name, "Gateway");

    // The header's menu hides and shows a column.
    QAction* product = tree->columnMenu()->actions().at(kProductColumn - kIpColumn);
    EXPECT_EQ(product->text(), QStringLiteral("Product"));
    product->trigger();
    EXPECT_TRUE(tree->header()->isSectionHidden(kProductColumn));
    product->trigger();
    EXPECT_FALSE(tree->header()->isSectionHidden(kProductColumn));
}
