// The Results window: a dock that lists the outcome of the last operation for each device (Get,
// Set, Reboot, Back up): operation, device, MAC, address, outcome and message. One command's
// reports are merged (see mergeOutcomes). Failed devices come
// first on a pink background, so that the few that failed among many show at a glance. It opens by
// itself when a device failed; View > "Results" shows or hides it at any time.
#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>

#include "core/manage/device_outcome.h"

class QLabel;
class QTableView;

namespace tarn {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Operation, Device, Mac, Address, Outcome, Message, ColumnCount };
    static const QColor kFailureColor;
    static const QColor kFailureTextColor;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setOutcomes(OperationOutcomes outcomes);
    const OperationOutcomes& outcomes() const { return outcomes_; }

private:
    OperationOutcomes outcomes_;  // failures first
};

class ResultsDock : public QDockWidget {
    Q_OBJECT
public:
    explicit ResultsDock(QWidget* parent = nullptr);

    ResultsModel* model() const { return model_; }
    QTableView* view() const { return table_; }
    // The summary line above the list ("Set: 3 of 40 devices failed").
    QString summary() const;

    // The operator gave a new command: its first report replaces the list.
    void newCommand() { fresh_ = true; }
    // A report of the command's operations: the first replaces the list, later ones (a refused set
    // sent again, the reboot after a set) update it per device. The dock opens when a device failed.
    void report(const OperationOutcomes& outcomes);

private:
    OperationOutcomes shown_;  // in the order of the reports
    bool fresh_ = true;
    ResultsModel* model_;
    QLabel* summary_;
    QTableView* table_;
};

}  // namespace tarn
