// The device tree of the left pane: a three-column, multi-selection list of discovered devices.
// Selection follows TreeSelection's rules (mouse, keyboard, right button); header clicks sort with
// compareDeviceTexts; hovering shows a tip with the text under the mouse.
#pragma once

#include <string_view>
#include <vector>

#include <QTreeWidget>

#include "core/discovery/device_entry.h"
#include "core/discovery/device_sort.h"
#include "core/discovery/listed_macs.h"
#include "core/discovery/tree_selection.h"

class QLabel;

namespace tarn {

class DeviceTree : public QTreeWidget {
    Q_OBJECT
public:
    static const QColor kBackground;
    static const QColor kCaretTipBackground;
    static const QColor kTipBorder;
    static const QColor kText;  // on kBackground, whatever the desktop's palette
    static const QColor kDisabledText;

    explicit DeviceTree(QWidget* parent = nullptr);
    // The items show the entries' texts: they go first.
    ~DeviceTree() override { clear(); }

    void deleteAllItems();
    void appendDevice(DeviceEntry entry);

    // Queries over all items, in display order.
    int deviceCount() const { return topLevelItemCount(); }
    const DeviceEntry& entry(int displayIndex) const;
    bool isListed(std::string_view macText) const { return listedMacs_.contains(macText); }
    int SelectionCount() const { return selection_.selectionCount(); }
    std::vector<DeviceEntry> selectedEntries() const;
    // Marks the items of these devices (by MAC and address) and nothing else; no deviceSelected.
    void selectEntries(const std::vector<DeviceEntry>& devices);
    const TreeSelection& selection() const { return selection_; }

    void sortByColumnText(int column);
    // The width the three columns need side by side.
    int columnsWidth() const;
    // The width that shows the three columns whole, with room for the vertical scroll bar that a
    // long list brings: the pane starts this wide.
    int preferredWidth() const;

signals:
    // The mouse or the keyboard changed the selection: the parameter view loads the selected devices.
    void deviceSelected();
    // A click inside a multiple selection ended as a new single selection.
    void monitorTargetCleared();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int itemIndexAt(const QPoint& viewportPos) const;
    void syncView();
    void apply(const SelectionEffect& effect);
    void showTip(const QPoint& viewportPos);
    void hideTip();

    TreeSelection selection_;
    ColumnSortState sortState_{3};
    std::vector<DeviceEntry> entries_;  // by item creation; items keep their entry's index
    ListedMacs listedMacs_;             // the MAC of every entry: items are only ever added or all deleted
    QLabel* tip_ = nullptr;
    QTreeWidgetItem* tipItem_ = nullptr;
    int tipColumn_ = -1;
};

}  // namespace tarn
