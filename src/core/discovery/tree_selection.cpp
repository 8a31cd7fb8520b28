#include "core/discovery/tree_selection.h"

#include <algorithm>

namespace tarn {

void TreeSelection::reset(int itemCount) {
    marks_.assign(static_cast<std::size_t>(std::max(itemCount, 0)), false);
    caret_ = anchor_ = deferredItem_ = -1;
}

void TreeSelection::append() { marks_.push_back(false); }

void TreeSelection::reorder(const std::vector<int>& newOrder) {
    std::vector<int> newIndex(marks_.size(), -1);
    std::vector<bool> marks(newOrder.size(), false);
    for (std::size_t i = 0; i < newOrder.size(); ++i) {
        const int old = newOrder[i];
        if (old < 0 || old >= itemCount()) continue;
        newIndex[static_cast<std::size_t>(old)] = static_cast<int>(i);
        marks[i] = marks_[static_cast<std::size_t>(old)];
    }
    auto moved = [&](int old) { return old < 0 || old >= itemCount() ? -1 : newIndex[static_cast<std::size_t>(old)]; };
    caret_ = moved(caret_);
    anchor_ = moved(anchor_);
    deferredItem_ = moved(deferredItem_);
    marks_ = std::move(marks);
}

int TreeSelection::selectionCount() const { return static_cast<int>(std::count(marks_.begin(), marks_.end(), true)); }

std::vector<int> TreeSelection::selectedItems() const {
    std::vector<int> out;
    for (int i = 0; i < itemCount(); ++i)
        if (marks_[static_cast<std::size_t>(i)]) out.push_back(i);
    return out;
}

void TreeSelection::markRange(int from, int to) {
    if (from > to) std::swap(from, to);
    for (int i = 0; i < itemCount(); ++i) marks_[static_cast<std::size_t>(i)] = i >= from && i <= to;
}

void TreeSelection::applyClick(int item, ClickKeys keys) {
    if (item < 0 || item >= itemCount()) return;
    auto mark = [&](int i) { return marks_[static_cast<std::size_t>(i)]; };
    if (keys.shift) {
        const int from = anchor_ >= 0 ? anchor_ : (caret_ >= 0 ? caret_ : item);
        caret_ = item;
        markRange(from, item);
    } else if (keys.ctrl) {
        marks_[static_cast<std::size_t>(item)] = !mark(item);
        if (mark(item)) caret_ = item;
        if (anchor_ < 0) anchor_ = item;
    } else {
        std::fill(marks_.begin(), marks_.end(), false);
        marks_[static_cast<std::size_t>(item)] = true;
        caret_ = anchor_ = item;
    }
}

SelectionEffect TreeSelection::press(int item, ClickKeys keys) {
    deferredItem_ = -1;
    if (item < 0 || item >= itemCount()) return {};
    if (isMarked(item)) {
        deferredItem_ = item;
        return {};
    }
    applyClick(item, keys);
    return {true, true, false};
}

SelectionEffect TreeSelection::release(ClickKeys keys) {
    if (deferredItem_ < 0) return {};
    const int item = deferredItem_;
    deferredItem_ = -1;
    applyClick(item, keys);
    return {true, true, true};
}

SelectionEffect TreeSelection::doublePress() {
    deferredItem_ = -1;
    return {};
}

// The keyboard browses: the marks move, nothing is read until Enter.
SelectionEffect TreeSelection::keyMove(int newCaret, bool shift) {
    if (newCaret < 0 || newCaret >= itemCount()) return {};
    if (shift) {
        const int from = anchor_ >= 0 ? anchor_ : (caret_ >= 0 ? caret_ : newCaret);
        if (anchor_ < 0) anchor_ = from;
        caret_ = newCaret;
        markRange(from, newCaret);
    } else {
        std::fill(marks_.begin(), marks_.end(), false);
        marks_[static_cast<std::size_t>(newCaret)] = true;
        caret_ = anchor_ = newCaret;
    }
    return {true, false, false};
}

void TreeSelection::markOnly(const std::vector<int>& items) {
    std::fill(marks_.begin(), marks_.end(), false);
    caret_ = anchor_ = -1;
    for (int item : items) {
        if (item < 0 || item >= itemCount()) continue;
        marks_[static_cast<std::size_t>(item)] = true;
        if (caret_ < 0) caret_ = anchor_ = item;
    }
}

SelectionEffect TreeSelection::markAll() {
    if (marks_.empty()) return {};
    std::fill(marks_.begin(), marks_.end(), true);
    if (caret_ < 0) caret_ = 0;
    if (anchor_ < 0) anchor_ = caret_;
    return {true, false, false};
}

SelectionEffect TreeSelection::rightPress(int item) {
    if (item < 0 || item >= itemCount() || selectionCount() >= 2) return {};
    std::fill(marks_.begin(), marks_.end(), false);
    marks_[static_cast<std::size_t>(item)] = true;
    caret_ = anchor_ = item;
    return {true, false, false};
}

}  // namespace tarn
