// The device list of the left pane: a multi-column, multi-selection view of the discovered devices
// (DeviceModel). The first three columns are the classic Device, IP and MAC; Product, Version,
// Found by and Last reply follow and can be hidden from the header's menu. Selection follows
// TreeSelection's rules (mouse, keyboard, right button) and is drawn from its marks; header clicks
// sort; typing a name's first letters moves to it. Only a click and Enter read the selection: the
// keys browse. Hovering shows a tip with the text under the mouse; an empty list says how to fill it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include <QElapsedTimer>
#include <QTreeView>

#include "core/discovery/device_entry.h"
#include "core/discovery/tree_selection.h"
#include "gui/discovery/device_model.h"

class QLabel;
class QMenu;

namespace tarn {

class DeviceTree : public QTreeView {
    Q_OBJECT
public:
    static const QColor kBackground;
    static const QColor kCaretTipBackground;
    static const QColor kTipBorder;
    static const QColor kText;  // on kBackground, whatever the desktop's palette
    static const QColor kDisabledText;

    explicit DeviceTree(QWidget* parent = nullptr);

    DeviceModel* deviceModel() const { return model_; }
    void deleteAllItems();
    // A device answering now (or at timeMs).
    void appendDevice(const DeviceEntry& entry);
    void appendDevice(const DeviceEntry& entry, std::int64_t timeMs);
    void setFilter(const QString& pattern);

    // All devices listed, shown or not.
    int deviceCount() const { return model_->inventory().deviceCount(); }
    // Queries over the shown rows, in display order.
    int shownCount() const { return model_->inventory().shownCount(); }
    DeviceEntry entry(int displayIndex) const { return model_->inventory().shownEntry(displayIndex); }
    bool isListed(std::string_view macText) const { return model_->inventory().find(macText) >= 0; }
    int SelectionCount() const { return selection().selectionCount(); }
    std::vector<DeviceEntry> selectedEntries() const { return model_->inventory().selectedEntries(); }
    const TreeSelection& selection() const { return model_->inventory().selection(); }
    // The rectangle of a shown row, in viewport coordinates.
    QRect rowRect(int displayIndex) const { return visualRect(model_->index(displayIndex, 0)); }
    // Marks the rows of these devices (by MAC and address) and nothing else; no deviceSelected.
    void selectEntries(const std::vector<DeviceEntry>& devices);

    void sortByColumnText(int column);
    // The width the shown columns need side by side.
    int columnsWidth() const;
    // The width that shows the classic three columns whole, with room for the vertical scroll bar
    // that a long list brings: the pane starts this wide.
    int preferredWidth() const;
    // The header's menu: one checkable entry per column that can be hidden.
    QMenu* columnMenu() const { return columnMenu_; }
    // What the list says while it has no rows and no filter hides any.
    void setEmptyHint(const QString& text);
    // What it says now (empty while it has rows).
    QString emptyText() const;

signals:
    // The mouse or the keyboard changed the selection, or Enter was pressed: the parameter view loads
    // the selected devices.
    void deviceSelected();
    // A click inside a multiple selection ended as a new single selection.
    void monitorTargetCleared();
    // The marks changed, by the operator, a filter, a new probe or the program.
    void marksChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    bool viewportEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int rowAt(const QPoint& viewportPos) const;
    void syncView();
    void apply(const SelectionEffect& effect);
    void showTip(const QPoint& viewportPos);
    void hideTip();

    DeviceModel* model_;
    QMenu* columnMenu_;
    QLabel* tip_ = nullptr;
    int tipRow_ = -1;
    int tipColumn_ = -1;
    QString emptyHint_;
    QString typed_;  // type-ahead text so far
    QElapsedTimer typedClock_;
};

}  // namespace tarn
