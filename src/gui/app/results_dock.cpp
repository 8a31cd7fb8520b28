#include "gui/app/results_dock.h"

#include <QColor>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "core/manage/outcome_review.h"
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

ResultsDock::ResultsDock(QWidget* parent) : QDockWidget(QStringLiteral("Results"), parent), model_(new ResultsModel) {
    setObjectName(QStringLiteral("resultsDock"));
    model_->setParent(this);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    summary_ = new QLabel(QStringLiteral("No operation has ended yet."), body);
    summary_->setObjectName(QStringLiteral("resultsSummary"));
    layout->addWidget(summary_);
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
    if (failureCount(outcomes) > 0) {
        show();
        raise();
    }
}

}  // namespace tarn
