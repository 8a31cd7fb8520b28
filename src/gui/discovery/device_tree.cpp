#include "gui/discovery/device_tree.h"

#include <algorithm>

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "gui/controls/icons.h"

namespace tarn {

const QColor DeviceTree::kBackground(250, 254, 218);
const QColor DeviceTree::kCaretTipBackground(128, 128, 95);
const QColor DeviceTree::kTipBorder(64, 64, 48);
const QColor DeviceTree::kText(Qt::black);
const QColor DeviceTree::kDisabledText(120, 120, 100);

namespace {

constexpr int kTipOffset = 12;  // right of the mouse pointer's hot spot
constexpr int kTipGap = 2;      // between the row and the tip

// The device icon and the selection drawn from the list's own marks (the view's selection model
// holds none: a selection of 100,000 rows costs nothing to keep or to move through a sort).
class DeviceItemDelegate : public QStyledItemDelegate {
public:
    DeviceItemDelegate(const DeviceModel& model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0) {
            // The device icon, unless the model has a mark of its own for the row (a conflict).
            static const QIcon deviceIcon = icons::device();
            if (option->icon.isNull()) option->icon = deviceIcon;
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->decorationSize = QSize(16, 16);
        }
        if (model_.inventory().selection().isMarked(index.row()))
            option->state |= QStyle::State_Selected;
        else
            option->state &= ~QStyle::State_Selected;
    }

private:
    const DeviceModel& model_;
};

std::int64_t nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

}  // namespace

DeviceTree::DeviceTree(QWidget* parent)
    : QTreeView(parent), model_(new DeviceModel(this)), columnMenu_(new QMenu(this)) {
    setModel(model_);
    // Names, addresses and versions need no text shaping (no ligatures, no joined scripts): drawing
    // them without it halves the cost of each repaint, which a long probe makes ten times a second.
    QFont plain = font();
    plain.setStyleStrategy(QFont::PreferNoShaping);
    setFont(plain);
    // The classic widths, widened where this font needs more room for a full address.
    const QFontMetrics fm(font());
    QHeaderView* head = header();
    head->setStretchLastSection(false);
    head->resizeSection(kNameColumn, std::max(120, fm.horizontalAdvance(QStringLiteral("Pump-House-10")) + 40));
    head->resizeSection(kIpColumn, std::max(100, fm.horizontalAdvance(QStringLiteral("255.255.255.255")) + 14));
    head->resizeSection(kMacColumn, std::max(110, fm.horizontalAdvance(QStringLiteral("00:00:00:00:00:00")) + 14));
    head->resizeSection(kProductColumn, fm.horizontalAdvance(QStringLiteral("TARN-IO")) + 24);
    head->resizeSection(kVersionColumn, fm.horizontalAdvance(QStringLiteral("Version")) + 24);
    head->resizeSection(kFoundByColumn, fm.horizontalAdvance(QStringLiteral("Found by")) + 24);
    head->resizeSection(kLastReplyColumn, fm.horizontalAdvance(QStringLiteral("Last reply")) + 24);
    head->setSectionsClickable(true);
    head->setSortIndicatorShown(false);
    connect(head, &QHeaderView::sectionClicked, this, &DeviceTree::sortByColumnText);

    // Every column but the device's name can be hidden from the header's menu.
    for (int column = kIpColumn; column < DeviceInventory::kColumnCount; ++column) {
        QAction* a = columnMenu_->addAction(QString::fromLatin1(DeviceInventory::kColumnTitles[column]));
        a->setCheckable(true);
        a->setChecked(true);
        connect(a, &QAction::toggled, this, [this, column](bool on) { header()->setSectionHidden(column, !on); });
    }
    connect(columnMenu_, &QMenu::aboutToShow, this, [this] {
        const QList<QAction*> actions = columnMenu_->actions();
        for (int column = kIpColumn; column < DeviceInventory::kColumnCount; ++column)
            actions[column - kIpColumn]->setChecked(!header()->isSectionHidden(column));
    });
    head->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(head, &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint& at) { columnMenu_->popup(header()->viewport()->mapToGlobal(at)); });

    // New rows are laid out as they are announced, in the model's own turn of the event loop: left
    // to the view, the layout of every row (some milliseconds at 100,000) and the drawing that
    // follows would run as one event.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { executeDelayedItemsLayout(); });
    setItemDelegate(new DeviceItemDelegate(*model_, this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setRootIsDecorated(false);  // items never have children
    setIndentation(4);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(16, 16));
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);  // Tab leaves the list
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
    hideTip();
    model_->clear();
    // The rows of the next probe come in discovery order: no column claims to sort them.
    header()->setSortIndicatorShown(false);
    QApplication::restoreOverrideCursor();
    emit marksChanged();
}

void DeviceTree::setEmptyHint(const QString& text) {
    emptyHint_ = text;
    viewport()->update();
}

QString DeviceTree::emptyText() const {
    if (shownCount() > 0) return {};
    if (deviceCount() > 0) return QStringLiteral("No device matches the filter.");
    return emptyHint_;
}

void DeviceTree::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    const QString text = emptyText();
    if (text.isEmpty()) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const QRect room = viewport()->rect().adjusted(12, 30, -12, -12);
    painter.drawText(room, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
}

void DeviceTree::appendDevice(const DeviceEntry& entry) { appendDevice(entry, nowMs()); }

void DeviceTree::appendDevice(const DeviceEntry& entry, std::int64_t timeMs) { model_->append(entry, timeMs); }

void DeviceTree::setFilter(const QString& pattern) {
    hideTip();
    model_->setFilter(pattern);
    syncView();
    emit marksChanged();
}

void DeviceTree::selectEntries(const std::vector<DeviceEntry>& devices) {
    // Found through the MAC index: a walk over the shown rows per device would make every row's texts
    // again for each device of a selection.
    const DeviceInventory& inventory = model_->inventory();
    std::vector<int> rows;
    for (const DeviceEntry& d : devices) {
        const int number = inventory.find(d.mac);
        const int row = number < 0 ? -1 : inventory.positionOf(number);
        if (row >= 0 && inventory.text(number, kMacColumn) == d.mac && inventory.text(number, kIpColumn) == d.ip)
            rows.push_back(row);
    }
    model_->selection().markOnly(rows);
    syncView();
    emit marksChanged();
}

void DeviceTree::sortByColumnText(int column) {
    if (column < 0 || column >= DeviceInventory::kColumnCount) return;
    const SortDirection direction = model_->sortByColumn(column);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column,
                               direction == SortDirection::Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    syncView();
}

int DeviceTree::columnsWidth() const {
    int width = 0;
    for (int column = 0; column < DeviceInventory::kColumnCount; ++column)
        if (!header()->isSectionHidden(column)) width += header()->sectionSize(column);
    return width;
}

int DeviceTree::preferredWidth() const {
    return columnsWidth() + 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int DeviceTree::rowAt(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

void DeviceTree::syncView() {
    model_->flush();  // the caret may be a row just appended
    const int caret = selection().caret();
    if (caret >= 0) {
        const QModelIndex current = model_->index(caret, 0);
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        scrollTo(current);
    } else {
        selectionModel()->clearCurrentIndex();
    }
    viewport()->update();
}

void DeviceTree::apply(const SelectionEffect& effect) {
    if (!effect.changed) return;
    syncView();
    emit marksChanged();
    if (effect.notifyView) emit deviceSelected();
    if (effect.clearMonitor) emit monitorTargetCleared();
}

static ClickKeys keysOf(Qt::KeyboardModifiers m) {
    return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier)};
}

void DeviceTree::mousePressEvent(QMouseEvent* event) {
    hideTip();
    const int row = rowAt(event->position().toPoint());
    if (row < 0) return;  // empty area: no selection change
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        apply(model_->selection().press(row, keysOf(event->modifiers())));
    } else if (event->button() == Qt::RightButton) {
        apply(model_->selection().rightPress(row));
    }
}

void DeviceTree::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) apply(model_->selection().release(keysOf(event->modifiers())));
}

void DeviceTree::mouseMoveEvent(QMouseEvent* event) {
    // No drag selection; only the tip follows the mouse.
    if (tip_->isVisible()) {
        const QPoint at = event->position().toPoint();
        if (rowAt(at) != tipRow_ || columnAt(at.x()) != tipColumn_) hideTip();
    }
}

void DeviceTree::mouseDoubleClickEvent(QMouseEvent* event) {
    // The press and release before it already made the click; loading again would clear the monitor
    // address and turn a Ctrl+click back.
    if (event->button() != Qt::LeftButton) return mousePressEvent(event);
    hideTip();
    apply(model_->selection().doublePress());
}

void DeviceTree::keyPressEvent(QKeyEvent* event) {
    const int n = shownCount();
    const int caret = selection().caret();
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
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit deviceSelected();
            return;
        case Qt::Key_Left:
        case Qt::Key_Right:  // horizontal scrolling
            horizontalScrollBar()->triggerAction(event->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                              : QAbstractSlider::SliderSingleStepAdd);
            return;
        default:
            if (event->matches(QKeySequence::SelectAll)) {
                apply(model_->selection().markAll());
                return;
            }
            if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
                !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
                keyboardSearch(event->text());
                return;
            }
            event->ignore();
            return;
    }
    if (n == 0) return;
    apply(model_->selection().keyMove(target, event->modifiers().testFlag(Qt::ShiftModifier)));
}

void DeviceTree::keyboardSearch(const QString& search) {
    // The letters typed in quick succession make one name's beginning; the same letter again steps
    // to the next name that starts with it.
    if (!typedClock_.isValid() || typedClock_.elapsed() > QApplication::keyboardInputInterval()) typed_.clear();
    typedClock_.start();
    const bool repeat = typed_.size() == 1 && search.size() == 1 && typed_.at(0).toLower() == search.at(0).toLower();
    if (!repeat) typed_ += search;
    const int caret = std::max(0, selection().caret());
    const int from = repeat ? caret + 1 : caret;
    const int found =
        model_->inventory().findByNamePrefix(typed_.toLatin1().toStdString(), shownCount() ? from % shownCount() : 0);
    if (found >= 0) apply(model_->selection().keyMove(found, false));
}

bool DeviceTree::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        showTip(static_cast<QHelpEvent*>(event)->pos());
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void DeviceTree::leaveEvent(QEvent* event) {
    hideTip();
    QTreeView::leaveEvent(event);
}

void DeviceTree::showTip(const QPoint& pos) {
    const QModelIndex index = indexAt(pos);
    // The row's own tip (a device two addresses claim says so), else the cell's whole text.
    const QString own = index.data(Qt::ToolTipRole).toString();
    const QString text = own.isEmpty() ? index.data().toString() : own;
    tip_->setWordWrap(!own.isEmpty());
    tip_->setMaximumWidth(own.isEmpty() ? QWIDGETSIZE_MAX : 420);
    if (!index.isValid() || text.isEmpty()) {
        hideTip();
        return;
    }
    // A framed box with its own colours, below the row and to the right of the mouse, so that it
    // reads as a tip and not as a shifted copy of the next row.
    const bool caret = index.row() == selection().caret();
    const QColor background = caret ? kCaretTipBackground : kBackground;
    const QColor textColour = caret ? QColor(Qt::white) : kText;
    tip_->setStyleSheet(QStringLiteral("QLabel#deviceTip { background-color: %1; color: %2; border: 1px solid %3;"
                                       " padding: 2px 5px; }")
                            .arg(background.name(), textColour.name(), kTipBorder.name()));
    tip_->setText(text);
    tip_->adjustSize();
    const QRect row = visualRect(index);
    QPoint at = viewport()->mapToGlobal(QPoint(pos.x() + kTipOffset, row.bottom() + 1 + kTipGap));
    if (const QScreen* screen = QGuiApplication::screenAt(at)) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - tip_->width())));
        if (at.y() + tip_->height() > room.bottom())  // no room below: above the row instead
            at.setY(viewport()->mapToGlobal(row.topLeft()).y() - kTipGap - tip_->height());
    }
    tip_->move(at);
    tip_->show();
    tipRow_ = index.row();
    tipColumn_ = index.column();
}

void DeviceTree::hideTip() {
    tip_->hide();
    tipRow_ = -1;
    tipColumn_ = -1;
}

}  // namespace tarn
