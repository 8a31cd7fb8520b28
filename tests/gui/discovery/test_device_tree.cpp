// The device tree driven through real mouse and key events on the widget.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "gui/discovery/device_tree.h"

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
        tree.resize(400, 300);
        tree.appendDevice(device("Pump10", "10.0.0.3", "00:00:00:00:00:0A"));
        tree.appendDevice(device("Pump9", "192.168.0.2", "00:00:00:00:00:09"));
        tree.appendDevice(device("Gateway", "9.0.0.1", "00:00:00:00:00:01"));
        tree.appendDevice(device("Pump1", "10.0.0.1", "00:00:00:00:00:0b"));
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }

    QPoint centerOf(int index) {
        return tree.visualItemRect(tree.topLevelItem(index)).center();
    }
    void click(int index, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, mods, centerOf(index));
    }
    std::vector<std::string> selectedNames() {
        std::vector<std::string> names;
        for (const auto& e : tree.selectedEntries()) names.push_back(e.name);
        return names;
    }
    // The drawn selection must agree with the tree's own marks.
    void expectViewMatchesMarks() {
        for (int i = 0; i < tree.deviceCount(); ++i)
            EXPECT_EQ(tree.topLevelItem(i)->isSelected(), tree.selection().isMarked(i)) << i;
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

TEST_F(DeviceTreeTest, KeysMoveTheSelectionWithoutLoading) {
    QSignalSpy selected(&tree, &DeviceTree::deviceSelected);
    click(0);
    QTest::keyClick(&tree, Qt::Key_Down);
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Gateway"}));
    QTest::keyClick(&tree, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&tree, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump10", "Pump9", "Gateway"}));
    QTest::keyClick(&tree, Qt::Key_End);
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump1"}));
    EXPECT_EQ(selected.count(), 1);  // only the first mouse click
    expectViewMatchesMarks();
}

TEST_F(DeviceTreeTest, RightClickSelectsOneItemOnlyWithoutAMultipleSelection) {
    QSignalSpy selected(&tree, &DeviceTree::deviceSelected);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, centerOf(1));
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9"}));
    click(2, Qt::ControlModifier);
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, centerOf(0));
    EXPECT_EQ(selectedNames(), (std::vector<std::string>{"Pump9", "Gateway"}));
    EXPECT_EQ(selected.count(), 1);
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

TEST_F(DeviceTreeTest, DuplicateTestIgnoresCaseAndWalksEveryItem) {
    EXPECT_TRUE(tree.isListed("00:00:00:00:00:0B"));
    EXPECT_TRUE(tree.isListed("00:00:00:00:00:0a"));
    EXPECT_FALSE(tree.isListed("00:00:00:00:00:0C"));
    // Items scrolled out of sight count like the visible ones.
    for (int i = 0; i < 60; ++i) tree.appendDevice(device("D" + std::to_string(i), "10.1.0.1", "02:00:00:00:01:" + std::to_string(10 + i)));
    tree.scrollToBottom();
    EXPECT_TRUE(tree.isListed("00:00:00:00:00:0a"));
    click(0);
    tree.scrollToBottom();
    EXPECT_EQ(tree.SelectionCount(), 1);
    EXPECT_EQ(tree.selectedEntries().front().name, "Pump10");
}

TEST_F(DeviceTreeTest, DeleteAllItemsForgetsSelectionAndEntries) {
    click(0);
    tree.deleteAllItems();
    EXPECT_EQ(tree.deviceCount(), 0);
    EXPECT_EQ(tree.SelectionCount(), 0);
    tree.appendDevice(device("Again", "10.0.0.9", "00:00:00:00:00:99"));
    EXPECT_EQ(tree.entry(0).name, "Again");
    EXPECT_EQ(tree.palette().color(QPalette::Base), DeviceTree::kBackground);
}
