#include "gui/discovery/device_tree.h"

#include <algorithm>
#include <numeric>

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "gui/controls/icons.h"
#include "link/common/qt_bytes.h"

namespace tarn {

const QColor DeviceTree::kBackground(250, 254, 218);
const QColor DeviceTree::kCaretTipBackground(128, 128, 95);
const QColor DeviceTree::kTipBorder(64, 64, 48);
const QColor DeviceTree::kText(Qt::black);
const QColor DeviceTree::kDisabledText(120, 120, 100);

namespace {

constexpr int kTipOffset = 12;  // right of the mouse pointer's hot spot
constexpr int kTipGap = 2;      // between the row and the tip

// An item holds the index of its entry and shows the entry's texts when asked: thousands of items
// then store nothing of their own.
class DeviceItem : public QTreeWidgetItem {
public:
    DeviceItem(const std::vector<DeviceEntry>& entries, std::size_t index)
        : QTreeWidgetItem(UserType), entries_(entries), index_(index) {}
    std::size_t index() const { return index_; }
    QVariant data(int column, int role) const override {
        if ((role == Qt::DisplayRole || role == Qt::EditRole) && column >= 0 && column < 3)
            return latin1(entries_[index_].text(column));
        return QTreeWidgetItem::data(column, role);
    }

private:
    const std::vector<DeviceEntry>& entries_;
    std::size_t index_;
};

std::size_t entryIndexOf(const QTreeWidgetItem* item) { return static_cast<const DeviceItem*>(item)->index(); }

// The device icon and the right-aligned address columns, the same for every item, are given at
// drawing time instead of being stored in each item.
class DeviceItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0) {
            static const QIcon deviceIcon = icons::device();
            option->icon = deviceIcon;
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->decorationSize = QSize(16, 16);
        } else {
            option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
        }
    }
};

}  // namespace

DeviceTree::DeviceTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Device"), QStringLiteral("IP"), QStringLiteral("MAC")});
    // The classic widths, widened where this font needs more room for a full address.
    const QFontMetrics fm(font());
    header()->resizeSection(0, std::max(120, fm.horizontalAdvance(QStringLiteral("Pump-House-10")) + 40));
    header()->resizeSection(1, std::max(100, fm.horizontalAdvance(QStringLiteral("255.255.255.255")) + 14));
    header()->resizeSection(2, std::max(110, fm.horizontalAdvance(QStringLiteral("00:00:00:00:00:00")) + 14));
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    connect(header(), &QHeaderView::sectionClicked, this, &DeviceTree::sortByColumnText);

    setItemDelegate(new DeviceItemDelegate(this));
    setSelectionMode(QAbstractItemView::MultiSelection);
    setRootIsDecorated(false);  // items never have children
    setIndentation(4);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, kBackground);
    // The background is the product's own light yellow on every desktop, so the text is dark on it
    // even where the desktop's palette has light text (a dark theme).
    pal.setColor(QPalette::Text, kText);
    pal.setColor(QPalette::Disabled, QPalette::Text, kDisabledText);
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    setAutoFillBackground(true);

    tip_ = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    tip_->setObjectName(QStringLiteral("deviceTip"));
    tip_->hide();
}

void DeviceTree::deleteAllItems() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    hideTip();
    clear();
    entries_.clear();
    listedMacs_.clear();
    selection_.reset(0);
    setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

void DeviceTree::appendDevice(DeviceEntry entry) {
    listedMacs_.add(entry.mac);
    entries_.push_back(std::move(entry));
    addTopLevelItem(new DeviceItem(entries_, entries_.size() - 1));
    selection_.append();
}

const DeviceEntry& DeviceTree::entry(int displayIndex) const {
    return entries_.at(entryIndexOf(topLevelItem(displayIndex)));
}

std::vector<DeviceEntry> DeviceTree::selectedEntries() const {
    std::vector<DeviceEntry> out;
    for (int i : selection_.selectedItems()) out.push_back(entry(i));
    return out;
}

void DeviceTree::selectEntries(const std::vector<DeviceEntry>& devices) {
    std::vector<int> items;
    for (const DeviceEntry& d : devices) {
        for (int i = 0; i < deviceCount(); ++i) {
            if (entry(i).mac == d.mac && entry(i).ip == d.ip) items.push_back(i);
        }
    }
    selection_.markOnly(items);
    syncView();
}

void DeviceTree::sortByColumnText(int column) {
    if (column < 0 || column > 2) return;
    const SortDirection direction = sortState_.click(column);
    const int n = topLevelItemCount();
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> texts;
    for (int i = 0; i < n; ++i) texts.push_back(entry(i).text(column));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = compareDeviceTexts(texts[static_cast<std::size_t>(a)], texts[static_cast<std::size_t>(b)]);
        return direction == SortDirection::Descending ? c > 0 : c < 0;
    });
    std::vector<QTreeWidgetItem*> items;
    for (int i = n - 1; i >= 0; --i) items.push_back(takeTopLevelItem(i));
    std::reverse(items.begin(), items.end());
    for (int old : order) addTopLevelItem(items[static_cast<std::size_t>(old)]);
    selection_.reorder(order);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column,
                               direction == SortDirection::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    syncView();
}

int DeviceTree::columnsWidth() const {
    return header()->sectionSize(0) + header()->sectionSize(1) + header()->sectionSize(2);
}

int DeviceTree::preferredWidth() const {
    return columnsWidth() + 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int DeviceTree::itemIndexAt(const QPoint& viewportPos) const {
    QTreeWidgetItem* item = itemAt(viewportPos);
    return item ? indexOfTopLevelItem(item) : -1;
}

void DeviceTree::syncView() {
    QItemSelection marked;
    for (int i : selection_.selectedItems()) {
        const QModelIndex first = indexFromItem(topLevelItem(i), 0);
        marked.select(first, first.siblingAtColumn(2));
    }
    selectionModel()->select(marked, QItemSelectionModel::ClearAndSelect);
    const int caret = selection_.caret();
    if (caret >= 0) {
        selectionModel()->setCurrentIndex(indexFromItem(topLevelItem(caret), 0), QItemSelectionModel::NoUpdate);
        scrollToItem(topLevelItem(caret));
    }
    viewport()->update();
}

void DeviceTree::apply(const SelectionEffect& effect) {
    if (!effect.changed) return;
    syncView();
    if (effect.notifyView) emit deviceSelected();
    if (effect.clearMonitor) emit monitorTargetCleared();
}

static ClickKeys keysOf(Qt::KeyboardModifiers m) {
    return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier)};
}

void DeviceTree::mousePressEvent(QMouseEvent* event) {
    hideTip();
    const int item = itemIndexAt(event->position().toPoint());
    if (item < 0) return;  // empty area: no selection change
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        apply(selection_.press(item, keysOf(event->modifiers())));
    } else if (event->button() == Qt::RightButton) {
        apply(selection_.rightPress(item));
    }
}

void DeviceTree::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) apply(selection_.release(keysOf(event->modifiers())));
}

void DeviceTree::mouseMoveEvent(QMouseEvent* event) {
    // No drag selection; only the tip follows the mouse.
    if (tip_->isVisible()) {
        QTreeWidgetItem* item = itemAt(event->position().toPoint());
        if (item != tipItem_ || columnAt(event->position().toPoint().x()) != tipColumn_) hideTip();
    }
}

void DeviceTree::mouseDoubleClickEvent(QMouseEvent* event) {
    // The press and release before it already made the click; loading again would clear the monitor
    // address and turn a Ctrl+click back.
    if (event->button() != Qt::LeftButton) return mousePressEvent(event);
    hideTip();
    apply(selection_.doublePress());
}

void DeviceTree::keyPressEvent(QKeyEvent* event) {
    const int n = topLevelItemCount();
    const int caret = selection_.caret();
    const int page = std::max(1, viewport()->height() / std::max(1, sizeHintForRow(0)) - 1);
    int target = -1;
    switch (event->key()) {
        case Qt::Key_Up:
            target = caret < 0 ? 0 : std::max(0, caret - 1);
            break;
        case Qt::Key_Down:
            target = caret < 0 ? 0 : std::min(n - 1, caret + 1);
            break;
        case Qt::Key_PageUp:
            target = caret < 0 ? 0 : std::max(0, caret - page);
            break;
        case Qt::Key_PageDown:
            target = caret < 0 ? 0 : std::min(n - 1, caret + page);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = n - 1;
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            QTreeWidget::keyPressEvent(event);
            return;  // horizontal scrolling
        default:
            event->ignore();
            return;
    }
    if (n == 0) return;
    apply(selection_.keyMove(target, event->modifiers().testFlag(Qt::ShiftModifier)));
}

bool DeviceTree::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        showTip(static_cast<QHelpEvent*>(event)->pos());
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

void DeviceTree::leaveEvent(QEvent* event) {
    hideTip();
    QTreeWidget::leaveEvent(event);
}

void DeviceTree::showTip(const QPoint& pos) {
    QTreeWidgetItem* item = itemAt(pos);
    const int column = columnAt(pos.x());
    if (!item || column < 0 || item->text(column).isEmpty()) {
        hideTip();
        return;
    }
    // A framed box with its own colours, below the row and to the right of the mouse, so that it
    // reads as a tip and not as a shifted copy of the next row.
    const bool caret = indexOfTopLevelItem(item) == selection_.caret();
    const QColor background = caret ? kCaretTipBackground : kBackground;
    const QColor text = caret ? QColor(Qt::white) : kText;
    tip_->setStyleSheet(QStringLiteral("QLabel#deviceTip { background-color: %1; color: %2; border: 1px solid %3;"
                                       " padding: 2px 5px; }")
                            .arg(background.name(), text.name(), kTipBorder.name()));
    tip_->setText(item->text(column));
    tip_->adjustSize();
    const QRect row = visualItemRect(item);
    QPoint at = viewport()->mapToGlobal(QPoint(pos.x() + kTipOffset, row.bottom() + 1 + kTipGap));
    if (const QScreen* screen = QGuiApplication::screenAt(at)) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - tip_->width())));
        if (at.y() + tip_->height() > room.bottom())  // no room below: above the row instead
            at.setY(viewport()->mapToGlobal(row.topLeft()).y() - kTipGap - tip_->height());
    }
    tip_->move(at);
    tip_->show();
    tipItem_ = item;
    tipColumn_ = column;
}

void DeviceTree::hideTip() {
    tip_->hide();
    tipItem_ = nullptr;
    tipColumn_ = -1;
}

}  // namespace tarn
