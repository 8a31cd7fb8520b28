#include "gui/params/parameter_model.h"

#include <QColor>

#include "core/manage/management_requests.h"
#include "link/common/qt_bytes.h"

namespace tarn {

const QColor ParameterModel::kModifiedColor(255, 0, 0);
const QColor ParameterModel::kComparedColor(255, 214, 120);
const QColor ParameterModel::kComparedTextColor(0, 0, 0);

ParameterModel::ParameterModel(ParameterTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
    table_.setObserver(this);
}

ParameterModel::~ParameterModel() { table_.setObserver(nullptr); }

int ParameterModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : table_.rowCount(); }

int ParameterModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant ParameterModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= table_.rowCount()) return {};
    const ParameterRow& row = table_.row(index.row());
    // The device's own password shows as dots; its editor offers "Show".
    const std::string text = index.column() == 0   ? row.classText
                             : index.column() == 1 ? row.name
                                                   : shownValue(table_, index.row(), false);
    if (role == Qt::DisplayRole) return latin1(text);
    const bool modifiedValue = index.column() == 2 && table_.modified(row.record);
    const std::optional<std::string> fileValue = table_.differingFileValue(index.row());
    switch (role) {
        case Qt::ToolTipRole: {
            QString tip = index.column() == 2 || !fileValue ? latin1(text) : QString();
            if (fileValue)
                tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("In the file: ") +
                       latin1(*fileValue);
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        case Qt::ForegroundRole:
            if (modifiedValue) return kModifiedColor;
            return fileValue ? QVariant(kComparedTextColor) : QVariant();
        case Qt::BackgroundRole:
            return fileValue ? QVariant(kComparedColor) : QVariant();
        default:
            return {};
    }
}

QVariant ParameterModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case 0:
            return QStringLiteral("class");
        case 1:
            return QStringLiteral("parameter");
        case 2:
            return QStringLiteral(" Value");
        default:
            return {};
    }
}

void ParameterModel::rowsReset() {
    beginResetModel();
    endResetModel();
    emit rowsWereReset();
}

void ParameterModel::rowsChanged(int first, int last) { emit dataChanged(index(first, 0), index(last, 2)); }

}  // namespace tarn
