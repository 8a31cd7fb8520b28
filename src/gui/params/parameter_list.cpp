#include "gui/params/parameter_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include "core/manage/management_requests.h"
#include "core/params/parameter_table.h"
#include "gui/controls/icons.h"
#include "gui/params/parameter_model.h"
#include "gui/params/value_editor.h"
#include "link/common/qt_bytes.h"

namespace tarn {

const char* const ParameterList::kEmptyText = "No Device is selected.   Select a device. ";

ParameterList::ParameterList(ParameterTable& table, QWidget* parent)
    : QTableView(parent), model_(new ParameterModel(table, this)), setupButton_(new QPushButton(viewport())) {
    setModel(model_);
    const QFontMetrics fm(font());
    horizontalHeader()->resizeSection(0, std::max(150, fm.horizontalAdvance(QStringLiteral("Outputs/DO_10")) + 24));
    horizontalHeader()->resizeSection(1, std::max(172, fm.horizontalAdvance(QString::fromLatin1(kSetupRowText)) + 16));
    horizontalHeader()->resizeSection(2, 175);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);  // Tab leaves the list for the next part of the window
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setMouseTracking(true);

    auto* button = static_cast<QPushButton*>(setupButton_);
    button->setObjectName(QStringLiteral("setupButton%1").arg(kSetupButtonId));
    button->setText(QStringLiteral("I/O Monitor"));
    button->setIcon(icons::quickConnect());
    button->setToolTip(QString::fromLatin1(kSetupRowText));
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    connect(button, &QPushButton::clicked, this, &ParameterList::openIoMonitor);

    connect(model_, &ParameterModel::rowsWereReset, this, &ParameterList::rowsReset);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &ParameterList::placeSetupButton);
    // Scrolling takes the focus, which ends an open editor as Enter would.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            if (editor_) setFocus(Qt::OtherFocusReason);
            placeSetupButton();
        });
    }
}

// An open editor ends with the list, before its end could be reported to a list half gone.
ParameterList::~ParameterList() { delete editor_.data(); }

ParameterTable& ParameterList::table() { return model_->table(); }

int ParameterList::rowCount() const { return model_->rowCount(); }

QString ParameterList::cellText(int row, int column) const {
    return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

void ParameterList::rowsReset() {
    // Hidden parameters keep their rows (so row numbers stay list positions) but are not shown.
    const ParameterTable& t = model_->table();
    for (int r = 0; r < t.rowCount(); ++r) setRowHidden(r, !t.rowShown(r));
    // The set-up row is twice as high, so its button fits inside the list.
    if (t.rowCount() > t.recordRowCount()) setRowHeight(t.rowCount() - 1, 2 * verticalHeader()->defaultSectionSize());
    placeSetupButton();
}

void ParameterList::placeSetupButton() {
    // The button stands in the set-up row, the last one, when there is one.
    const int rows = rowCount();
    const bool setupRow = rows > model_->table().recordRowCount();
    setupButton_->setVisible(setupRow);
    if (!setupRow) return;
    const QRect cell = visualRect(model_->index(rows - 1, 0));
    setupButton_->setGeometry(cell.left(), cell.top(), kSetupButtonWidth, cell.height());
    setupButton_->raise();
}

void ParameterList::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    placeSetupButton();
}

QRect ParameterList::cellRect(int row, int column) {
    const QModelIndex index = model_->index(row, column);
    scrollTo(index);
    return visualRect(index);
}

void ParameterList::editValue(int row) {
    ParameterTable& t = model_->table();
    const ParameterTable::Editor kind = t.editorFor(row);
    if (kind == ParameterTable::Editor::None) return;
    t.beginEdit(row);
    const QRect cell = cellRect(row, 2);
    if (kind == ParameterTable::Editor::Popup) {
        // Shown with popup(), not exec(): a reply that changes the list may come while it is open,
        // so the choice goes to the row only if it still shows the same record.
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->setObjectName(QStringLiteral("fpmMenuClass"));
        menu->setMinimumWidth(cell.width());
        const ParameterRecord* record = t.recordOfRow(row);
        for (const EnumerationEntry& e : record->enumeration) {
            QAction* a = menu->addAction(latin1(e.text).replace('&', QStringLiteral("&&")));
            a->setData(latin1(e.text));
        }
        connect(menu, &QMenu::triggered, this, [this, row, record](QAction* chosen) {
            ParameterTable& table = model_->table();
            if (table.recordOfRow(row) != record || !table.writable(row)) return;
            table.setValue(row, latin1Bytes(chosen->data().toString()));
        });
        menu->popup(viewport()->mapToGlobal(cell.bottomLeft()));
        return;
    }
    const ParameterTable& table = model_->table();
    editor_ = new ValueEditor(cell, latin1(table.row(row).value), viewport(), this, holdsOwnPassword(table, row));
    editor_->row = row;
    // Like the popup's choice, the text goes to the row only if it still shows the same record.
    connect(editor_, &ValueEditor::finished, this,
            [this, record = table.recordOfRow(row)](int r, bool cancelled, const QString& text) {
                if (!cancelled && model_->table().recordOfRow(r) == record)
                    model_->table().setValue(r, latin1Bytes(text));
            });
}

void ParameterList::choose(int row) {
    const QModelIndex index = model_->index(row, 0);
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ParameterList::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    setFocus(Qt::MouseFocusReason);
    if (!index.isValid()) return;
    if (index.row() != currentIndex().row()) {
        choose(index.row());
        return;
    }
    if (index.column() == 2) editValue(index.row());
}

// A double-click is one more click: on a row just focused it opens the value's editor.
void ParameterList::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

// No drag selection: the focused row changes only by clicks and keys.
void ParameterList::mouseReleaseEvent(QMouseEvent*) {}
void ParameterList::mouseMoveEvent(QMouseEvent*) {}

void ParameterList::keyPressEvent(QKeyEvent* event) {
    const int row = currentIndex().row();
    if (row >= 0 && (event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        editValue(row);
        return;
    }
    QTableView::keyPressEvent(event);
}

void ParameterList::focusInEvent(QFocusEvent* event) {
    model_->table().nameDefinedValues();
    // Taking the focus focuses no row: the first click on a row only focuses it.
    const bool noRow = !currentIndex().isValid();
    QTableView::focusInEvent(event);
    if (noRow) selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void ParameterList::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (rowCount() > 0) return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::WindowText));
    const QRect area = viewport()->rect().adjusted(8, 30, -8, 0);
    p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, QString::fromLatin1(kEmptyText));
}

}  // namespace tarn
