// The device tree's rules without a widget: the sort order, the header directions, the selection
// rules and the sameness checks of a selection.
#include <algorithm>
#include <gtest/gtest.h>

#include "core/discovery/device_sort.h"
#include "core/discovery/selection_identity.h"
#include "core/discovery/tree_selection.h"

using namespace tarn;

TEST(DeviceSort, NumbersInNamesAndAddressesCompareAsNumbers) {
    EXPECT_LT(compareDeviceTexts("name9", "name10"), 0);
    EXPECT_GT(compareDeviceTexts("name10", "name9"), 0);
    EXPECT_LT(compareDeviceTexts("10.0.0.5", "192.168.0.1"), 0);
    EXPECT_LT(compareDeviceTexts("9.255.255.255", "10.0.0.1"), 0);
    // Same first number: the whole texts decide, without case.
    EXPECT_LT(compareDeviceTexts("192.168.0.10", "192.168.0.9"), 0);
    EXPECT_EQ(compareDeviceTexts("Pump", "pump"), 0);
    // Different prefixes: plain case-insensitive order, numbers not consulted.
    EXPECT_LT(compareDeviceTexts("Alpha20", "beta3"), 0);
    // A text without digits counts as 0 against one with digits of the same prefix.
    EXPECT_LT(compareDeviceTexts("Pump", "Pump1"), 0);
    // Numbers longer than any integer type still order correctly.
    EXPECT_LT(compareDeviceTexts("x99999999999999999999", "x100000000000000000000"), 0);
    EXPECT_EQ(compareDeviceTexts("dev007", "dev7"), compareDeviceTexts("dev007", "dev7"));
    EXPECT_LT(compareDeviceTexts("dev007", "dev7"), 0);  // equal numbers: "0" sorts before "7"
}

TEST(DeviceSort, SortingAListOfNames) {
    std::vector<std::string> names = {"Pump10", "pump2", "Gateway", "Pump1", "Pump9"};
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return compareDeviceTexts(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::string>{"Gateway", "Pump1", "pump2", "Pump9", "Pump10"}));
}

TEST(DeviceSort, OrderIsConsistentAcrossMixedCaseAndPrefixes) {
    // Every triple must be transitive, or a sort may scramble the list.
    const std::vector<std::string> texts = {"Pump9", "Pump10",   "pump2",   "PUMP", "a", "a-1", "a5",     "a10",
                                            "ab1",   "10.0.0.2", "9.1.1.1", "",     "Z", "z0",  "dev007", "dev7"};
    for (const auto& a : texts)
        for (const auto& b : texts)
            for (const auto& c : texts) {
                if (compareDeviceTexts(a, b) < 0 && compareDeviceTexts(b, c) < 0) {
                    EXPECT_LT(compareDeviceTexts(a, c), 0) << a << " < " << b << " < " << c;
                }
                EXPECT_EQ(compareDeviceTexts(a, b) < 0, compareDeviceTexts(b, a) > 0) << a << " / " << b;
            }
}

TEST(DeviceSort, HeaderDirectionTogglesAndOtherColumnsForget) {
    ColumnSortState s(3);
    EXPECT_EQ(s.click(0), SortDirection::Ascending);
    EXPECT_EQ(s.click(0), SortDirection::Descending);
    EXPECT_EQ(s.click(0), SortDirection::Ascending);
    EXPECT_EQ(s.click(1), SortDirection::Ascending);
    EXPECT_EQ(s.direction(0), SortDirection::None);
    EXPECT_EQ(s.click(0), SortDirection::Ascending);  // forgotten, so ascending again
}

TEST(TreeSelection, PlainShiftAndCtrlClicks) {
    TreeSelection s;
    s.reset(6);
    auto effect = s.press(1, {});
    EXPECT_TRUE(effect.notifyView);
    EXPECT_FALSE(effect.clearMonitor);
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{1}));
    EXPECT_EQ(s.anchor(), 1);
    s.release({});
    s.press(4, {true, false});  // Shift: anchor 1 .. 4
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(s.caret(), 4);
    s.release({true, false});  // the press applied at once: the release changes nothing
    EXPECT_EQ(s.selectionCount(), 4);
    s.press(5, {false, true});  // Ctrl adds
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(s.caret(), 5);
    s.press(0, {true, true});  // Shift wins over Ctrl
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{0, 1}));
}

TEST(TreeSelection, ShiftWithoutAnchorStartsAtTheCaret) {
    TreeSelection s;
    s.reset(5);
    s.keyMove(2, false);  // caret and anchor at 2 by keyboard
    TreeSelection fresh;
    fresh.reset(5);
    fresh.press(3, {true, false});  // no anchor, no caret: just the item
    EXPECT_EQ(fresh.selectedItems(), (std::vector<int>{3}));
    s.press(4, {true, false});
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{2, 3, 4}));
}

TEST(TreeSelection, ClickInsideAMultipleSelectionIsDeferredToTheRelease) {
    TreeSelection s;
    s.reset(5);
    s.press(0, {});
    s.release({});
    s.press(3, {true, false});
    s.release({true, false});
    const auto pressed = s.press(2, {});
    EXPECT_FALSE(pressed.changed);
    EXPECT_EQ(s.selectionCount(), 4);  // all marks kept until the button comes up
    const auto released = s.release({});
    EXPECT_TRUE(released.notifyView);
    EXPECT_TRUE(released.clearMonitor);
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{2}));
}

TEST(TreeSelection, CtrlClickOnTheOnlyMarkedItemUnmarksItOnRelease) {
    TreeSelection s;
    s.reset(3);
    s.press(1, {});
    s.release({});
    EXPECT_FALSE(s.press(1, {false, true}).changed);
    const auto released = s.release({false, true});
    EXPECT_TRUE(released.notifyView);
    EXPECT_EQ(s.selectionCount(), 0);
}

// The keyboard and the right button browse: the marks move as a click would move them, and nothing
// is read; whether the values shown are the selection's is sameDevices' to say.
TEST(TreeSelection, KeysAndTheRightButtonMarkWithoutReading) {
    TreeSelection s;
    s.reset(6);
    s.press(1, {});
    s.press(3, {false, true});
    const auto moved = s.keyMove(4, false);  // several marked: cleared, then the new caret alone
    EXPECT_TRUE(moved.changed);
    EXPECT_FALSE(moved.notifyView);
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{4}));
    EXPECT_EQ(s.anchor(), 4);
    EXPECT_FALSE(s.keyMove(2, true).notifyView);
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(s.caret(), 2);
    EXPECT_FALSE(s.markAll().notifyView);
    EXPECT_EQ(s.selectionCount(), 6);
    EXPECT_FALSE(s.rightPress(0).changed);  // two or more marked: the right button changes nothing
    s.keyMove(5, false);
    const auto right = s.rightPress(0);
    EXPECT_TRUE(right.changed);
    EXPECT_FALSE(right.notifyView);
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{0}));
}

TEST(TreeSelection, MarksFollowTheirItemsThroughASort) {
    TreeSelection s;
    s.reset(4);
    s.press(1, {});
    s.press(3, {false, true});
    s.reorder({3, 2, 1, 0});  // reversed
    EXPECT_EQ(s.selectedItems(), (std::vector<int>{0, 2}));
    EXPECT_EQ(s.caret(), 0);
    EXPECT_EQ(s.anchor(), 2);
}

TEST(SelectionIdentity, RefusesEmptyMixedAndOversizedSelections) {
    DeviceEntry a;
    a.productId = "74";
    a.version = "1.0";
    a.addressingKind = 1;
    EXPECT_EQ(checkSelection({}).message, "No Selected Device !!");
    DeviceEntry b = a;
    EXPECT_TRUE(checkSelection({a, b}).ok);
    b.addressingKind = 2;
    EXPECT_EQ(checkSelection({a, b}).message, "You've selected other devices.!!");
    EXPECT_TRUE(checkSelection({a, b}, false).ok);  // files do not care about the addressing kind
    b = a;
    b.version = "1.1";
    const auto mixed = checkSelection({a, b}, false);
    EXPECT_EQ(mixed.message, "You've selected other devices.!!");
    EXPECT_EQ(mixed.identity.version, "ERROR");
    const std::vector<DeviceEntry> many(701, a);
    const auto tooMany = checkSelection(many);
    EXPECT_FALSE(tooMany.ok);
    EXPECT_NE(tooMany.message.find("700"), std::string::npos);
}
