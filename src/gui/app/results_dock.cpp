#include "gui/app/results_dock.h"

#include <QClipboard>
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/common/csv.h"
#include "core/common/file_io.h"
#include "core/manage/outcome_review.h"
#include "gui/common/file_dialog.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

QString outcomeText(OutcomeStatus status) {
    switch (status) {
        case OutcomeStatus::Ok:
            return QStringLiteral("OK");
        case OutcomeStatus::Refused:
            return QStringLiteral("Refused");
        case OutcomeStatus::NoReply:
            return QStringLiteral("No reply");
        case OutcomeStatus::NoDefinitions:
            return QStringLiteral("No definitions");
        case OutcomeStatus::Failed:
            return QStringLiteral("Failed");
        case OutcomeStatus::Skipped:
            return QStringLiteral("Skipped");
        case OutcomeStatus::Duplicate:
            return QStringLiteral("Duplicate MAC");
        case OutcomeStatus::Cancelled:
            return QStringLiteral("Cancelled");
    }
    return QStringLiteral("Failed");
}

}  // namespace

const QColor ResultsModel::kFailureColor(255, 200, 200);
const QColor ResultsModel::kFailureTextColor(0, 0, 0);
const QColor ResultsModel::kCancelledTextColor(128, 128, 128);

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(outcomes_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= outcomes_.size()) return {};
    const DeviceOutcome& o = outcomes_[static_cast<std::size_t>(index.row())];
    const bool failed = isFailure(o.status);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            switch (index.column()) {
                case Operation:
                    return latin1(o.operation);
                case Device:
                    return latin1(o.device.name);
                case Mac:
                    return latin1(o.device.mac);
                case Address:
                    return latin1(o.device.ip);
                case Outcome:
                    return outcomeText(o.status);
                case Message:
                    return latin1(o.message);
                default:
                    return {};
            }
        case Qt::BackgroundRole:
            return failed ? QVariant(kFailureColor) : QVariant();
        case Qt::ForegroundRole:
            // What the operator cancelled is no failure: grey, and the dock does not open for it.
            if (o.status == OutcomeStatus::Cancelled) return QVariant(kCancelledTextColor);
            return failed ? QVariant(kFailureTextColor) : QVariant();
        default:
            return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"Operation", "Device", "MAC", "Address", "Outcome", "Message"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

void ResultsModel::setOutcomes(OperationOutcomes outcomes) {
    beginResetModel();
    outcomes_ = failuresFirst(std::move(outcomes));
    endResetModel();
}

ResultsDock::ResultsDock(QWidget* parent, Prompter* prompter)
    : QDockWidget(QStringLiteral("Results"), parent), prompter_(prompter), model_(new ResultsModel) {
    setObjectName(QStringLiteral("resultsDock"));
    model_->setParent(this);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    summary_ = new QLabel(QStringLiteral("No operation has ended yet."), body);
    summary_->setObjectName(QStringLiteral("resultsSummary"));
    auto* top = new QHBoxLayout;
    top->addWidget(summary_, 1);
    copyButton_ = new QPushButton(QStringLiteral("Copy"), body);
    copyButton_->setToolTip(QStringLiteral("Copy the selected lines (all when none is selected)"));
    exportButton_ = new QPushButton(QStringLiteral("Export CSV..."), body);
    exportButton_->setToolTip(QStringLiteral("Write the list to a CSV file"));
    for (QPushButton* b : {copyButton_, exportButton_}) {
        b->setEnabled(false);
        top->addWidget(b);
    }
    connect(copyButton_, &QPushButton::clicked, this, &ResultsDock::copy);
    connect(exportButton_, &QPushButton::clicked, this, &ResultsDock::exportCsv);
    layout->addLayout(top);
    table_ = new QTableView(body);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics fm(table_->font());
    const char* const widest[] = {"Operation", "Pump-House-1000", "00:50:C2:7A:10:0A", "255.255.255.255",
                                  "No definitions"};
    for (int c = 0; c < ResultsModel::Message; ++c)
        table_->setColumnWidth(c, fm.horizontalAdvance(QString::fromLatin1(widest[c])) + 20);
    layout->addWidget(table_);
    setWidget(body);
}

QString ResultsDock::summary() const { return summary_->text(); }

void ResultsDock::report(const OperationOutcomes& outcomes) {
    if (fresh_) shown_.clear();
    fresh_ = false;
    mergeOutcomes(shown_, outcomes);
    model_->setOutcomes(shown_);
    summary_->setText(latin1(outcomeSummary(shown_)));
    table_->scrollToTop();
    copyButton_->setEnabled(!shown_.empty());
    exportButton_->setEnabled(!shown_.empty());
    if (failureCount(outcomes) > 0) {
        show();
        raise();
    }
}

namespace {

// The list's texts, header first, of the given lines.
std::vector<std::vector<QString>> lines(const ResultsModel& model, const QList<int>& rows) {
    std::vector<std::vector<QString>> out(1);
    for (int c = 0; c < ResultsModel::ColumnCount; ++c)
        out[0].push_back(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    for (int r : rows) {
        out.emplace_back();
        for (int c = 0; c < ResultsModel::ColumnCount; ++c)
            out.back().push_back(model.data(model.index(r, c), Qt::DisplayRole).toString());
    }
    return out;
}

}  // namespace

QList<int> ResultsDock::copiedRows() const {
    QList<int> rows;
    if (table_->selectionModel())
        for (const QModelIndex& index : table_->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        for (int r = 0; r < model_->rowCount(); ++r) rows.push_back(r);
    return rows;
}

QByteArray ResultsDock::csvText() const {
    QList<int> all;
    for (int r = 0; r < model_->rowCount(); ++r) all.push_back(r);
    std::string text;
    for (const auto& line : lines(*model_, all)) {
        std::vector<std::string> cells;
        for (const QString& cell : line) cells.push_back(cell.toUtf8().toStdString());
        // Device names such as "=HYPERLINK(...)" stay text in a spreadsheet.
        text += csvLine(cells, CsvCells::Guarded);
    }
    return QByteArray::fromStdString(text);
}

QString ResultsDock::copyText() const {
    QString text;
    for (const auto& line : lines(*model_, copiedRows())) {
        QStringList cells;
        // A tab or a line break inside a cell would start another cell or line where it is pasted.
        for (QString cell : line) cells.push_back(cell.replace('\t', ' ').replace('\n', ' ').replace('\r', ' '));
        text += cells.join('\t') + '\n';
    }
    return text;
}

void ResultsDock::copy() { QGuiApplication::clipboard()->setText(copyText()); }

void ResultsDock::exportCsv() {
    openFileDialog(this,
                   {FileQuestion::Kind::SaveFile, QStringLiteral("Export CSV"), QDir::homePath(),
                    QStringLiteral("CSV (*.csv)"), QStringLiteral("csv")},
                   [this](const QString& path) { writeCsv(path); });
}

bool ResultsDock::writeCsv(const QString& path) {
    std::string error;
    if (writeFileAtomically(path.toStdString(), csvText().toStdString(), 0644, &error)) return true;
    const std::string text = "The results could not be written to " + path.toStdString() + ": " + error;
    if (prompter_)
        prompter_->showMessage("Export CSV", text, MessageIcon::Warning);
    else
        summary_->setText(QString::fromStdString(text));
    return false;
}

}  // namespace tarn
