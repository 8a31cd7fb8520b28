// The parameter table as a Qt item model: three columns (class, parameter, value); the value of a
// modified record is drawn red. While the list is compared with a file, a row whose value differs
// from the file's has an amber background with dark text (legible on dark desktops too), and its
// tip names the file's value.
#pragma once

#include <QAbstractTableModel>

#include "core/params/parameter_table.h"

namespace tarn {

class ParameterModel : public QAbstractTableModel, private ParameterTableObserver {
    Q_OBJECT
public:
    static const QColor kModifiedColor;
    static const QColor kComparedColor;
    static const QColor kComparedTextColor;

    explicit ParameterModel(ParameterTable& table, QObject* parent = nullptr);
    ~ParameterModel() override;

    ParameterTable& table() { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void rowsWereReset();

private:
    void rowsReset() override;
    void rowsChanged(int first, int last) override;

    ParameterTable& table_;
};

}  // namespace tarn
