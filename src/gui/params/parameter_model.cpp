#include "gui/params/parameter_model.h"

#include <QColor>

namespace tarn {

const QColor ParameterModel::kModifiedColor(255, 0, 0);

ParameterModel::ParameterModel(ParameterTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
    table_.setObserver(this);
}

ParameterModel::~ParameterModel() { table_.setObserver(nullptr); }

int ParameterModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : table_.rowCount(); }

int ParameterModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant ParameterModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= table_.rowCount()) return {};
    const ParameterRow& row = table_.row(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string& text = index.column() == 0 ? row.classText : index.column() == 1 ? row.name : row.value;
        if (role == Qt::ToolTipRole && text.empty()) return {};
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::ForegroundRole && index.column() == 2 && table_.modified(row.record)) return kModifiedColor;
    return {};
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
