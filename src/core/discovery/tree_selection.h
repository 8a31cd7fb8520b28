// The device tree's selection rules, on items numbered in display order. Each item has its own
// selected mark; the caret is the focused item; the anchor is where a Shift range starts.
//
// Mouse: pressing on an unmarked item applies the click rule at once and loads the selection; pressing
// on a marked item defers the rule to the release (so a click inside a multiple selection can still
// end as a single selection) and the release then also clears the I/O monitor's address. A
// double-click arrives as press, release, double-press, release: the first press and release are the
// click, and the double-press and its release change nothing.
//
// The keyboard and the right button only browse: they move the marks and read nothing, so that
// arrows and type-ahead never open a dialog. Enter reads what is marked. Whether the list's values
// belong to the marked devices is decided apart from the marks (sameDevices), and Set, Save and
// Compare wait until they do.
#pragma once

#include <vector>

namespace tarn {

struct ClickKeys {
    bool shift = false;
    bool ctrl = false;
};

// What the tree must do after a mouse event.
struct SelectionEffect {
    bool changed = false;       // marks, caret or anchor changed: redraw
    bool notifyView = false;    // tell the parameter view (it loads the selected devices)
    bool clearMonitor = false;  // clear the I/O monitor's address and port
};

class TreeSelection {
public:
    void reset(int itemCount);  // all items unmarked, no caret, no anchor
    void append();              // one more unmarked item at the end
    // Rearranges the items after a sort or a new filter: newOrder[i] is the old index of the item
    // that now stands at i, or -1 for an item that was not shown before (it comes unmarked). Items
    // left out are no longer shown and lose their marks: an operation never reaches a device the
    // operator cannot see.
    void reorder(const std::vector<int>& newOrder);

    int itemCount() const { return static_cast<int>(marks_.size()); }
    bool isMarked(int item) const { return item >= 0 && item < itemCount() && marks_[item]; }
    int caret() const { return caret_; }
    int anchor() const { return anchor_; }
    int selectionCount() const;
    std::vector<int> selectedItems() const;  // in display order

    SelectionEffect press(int item, ClickKeys keys);
    SelectionEffect release(ClickKeys keys);
    // The second press of a double-click: the click is already done, so the release that follows
    // does nothing either.
    SelectionEffect doublePress();
    // Up/Down/Page/Home/End or type-ahead moved the caret to newCaret; nothing is read.
    SelectionEffect keyMove(int newCaret, bool shift);
    // Marks exactly these items (the first is caret and anchor), as the program puts a selection back;
    // nothing is loaded for it.
    void markOnly(const std::vector<int>& items);
    // Ctrl+A: every item marked; nothing is read.
    SelectionEffect markAll();
    // Right button on an item: with fewer than two marks it becomes the single selected item; nothing
    // is read.
    SelectionEffect rightPress(int item);

    // The click rule itself (Shift first, then Ctrl, then a plain click).
    void applyClick(int item, ClickKeys keys);

private:
    void markRange(int from, int to);

    std::vector<bool> marks_;
    int caret_ = -1;
    int anchor_ = -1;
    int deferredItem_ = -1;
};

}  // namespace tarn
