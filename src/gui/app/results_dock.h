// The Results window: a dock that lists the outcome of the last operation for each device (Get,
// Set, Reboot, Back up): operation, device, MAC, address, outcome and message. One command's
// reports are merged (see mergeOutcomes). Failed devices come
// first on a pink background, so that the few that failed among many show at a glance. It opens by
// itself when a device failed; View > "Results" shows or hides it at any time. "Copy" puts the
// selected lines (all when none is selected) on the clipboard, tab-separated as spreadsheets paste
// them; "Export CSV..." writes the whole list to a CSV file.
#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>

#include "core/common/prompter.h"
#include "core/manage/device_outcome.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tarn {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Operation, Device, Mac, Address, Outcome, Message, ColumnCount };
    static const QColor kFailureColor;
    static const QColor kFailureTextColor;
    static const QColor kCancelledTextColor;  // a Cancel or a Stop of the operator

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
    // `prompter` tells a failed export (none: the summary line does).
    explicit ResultsDock(QWidget* parent = nullptr, Prompter* prompter = nullptr);

    ResultsModel* model() const { return model_; }
    QTableView* view() const { return table_; }
    // The summary line above the list ("Set: 3 of 40 devices failed").
    QString summary() const;

    // The operator gave a new command: its first report replaces the list.
    void newCommand() { fresh_ = true; }
    // A report of the command's operations: the first replaces the list, later ones (a refused set
    // sent again, the reboot after a set) update it per device. The dock opens when a device failed.
    void report(const OperationOutcomes& outcomes);

    // The lines as the list shows them, header first: CSV (RFC 4180, UTF-8) and tab-separated text.
    QByteArray csvText() const;
    QString copyText() const;
    // Copy: the selected lines, or every line when none is selected.
    void copy();
    // Export CSV...: asks for the file (without waiting) and writes it; false when writing failed.
    void exportCsv();
    bool writeCsv(const QString& path);
    QPushButton* copyButton() const { return copyButton_; }
    QPushButton* exportButton() const { return exportButton_; }

private:
    QList<int> copiedRows() const;

    Prompter* prompter_;
    OperationOutcomes shown_;  // in the order of the reports
    bool fresh_ = true;
    ResultsModel* model_;
    QLabel* summary_;
    QTableView* table_;
    QPushButton* copyButton_;
    QPushButton* exportButton_;
};

}  // namespace tarn
