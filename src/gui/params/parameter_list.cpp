#include "gui/params/parameter_list.h"

#include <QHeaderView>
#include <QPainter>

namespace tarn {

const char* const ParameterList::kEmptyText = "No Device is selected.   Select a device. ";

ParameterList::ParameterList(QWidget* parent) : QTableWidget(0, 3, parent) {
    setHorizontalHeaderLabels({QStringLiteral("class"), QStringLiteral("parameter"), QStringLiteral(" Value")});
    horizontalHeader()->resizeSection(0, 150);
    horizontalHeader()->resizeSection(1, std::max(172, fontMetrics().horizontalAdvance(QStringLiteral("Set up Input/Output/ADC ports")) + 16));
    horizontalHeader()->resizeSection(2, 175);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
}

void ParameterList::deleteAllRows() { setRowCount(0); }

int ParameterList::appendRow(const QString& classLabel, const QString& parameter, const QString& value) {
    const int row = rowCount();
    insertRow(row);
    setCellText(row, 0, classLabel);
    setCellText(row, 1, parameter);
    setCellText(row, 2, value);
    return row;
}

QString ParameterList::cellText(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void ParameterList::setCellText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
    if (QTableWidgetItem* it = item(row, column)) {
        it->setText(text);
    } else {
        setItem(row, column, new QTableWidgetItem(text));
    }
}

void ParameterList::clearValues() {
    for (int r = 0; r < rowCount(); ++r) setCellText(r, 2, QString());
}

void ParameterList::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    if (rowCount() > 0) return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::WindowText));
    const QRect area = viewport()->rect().adjusted(8, 30, -8, 0);
    p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, QString::fromLatin1(kEmptyText));
}

}  // namespace tarn
