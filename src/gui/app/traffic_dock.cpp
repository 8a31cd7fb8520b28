#include "gui/app/traffic_dock.h"

#include <QAction>
#include <QFontDatabase>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/common/file_io.h"
#include "core/common/prompter.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

// Bytes shown in the list's column; the dump below shows them all.
constexpr std::size_t kListedBytes = 24;

}  // namespace

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ring_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= ring_.size()) return {};
    const TrafficEntry& e = ring_.at(static_cast<std::size_t>(index.row()));
    if (role == Qt::TextAlignmentRole && index.column() == Length) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case Time:
            return latin1(trafficTimeText(e.timeMs));
        case Direction:
            return latin1(std::string(trafficDirectionText(e.direction)));
        case Peer:
            return latin1(e.peer);
        case Length:
            return static_cast<qulonglong>(e.length);
        case Summary:
            return latin1(e.summary);
        case ByteText: {
            const ByteView shown = ByteView(e.bytes).first(std::min(e.bytes.size(), kListedBytes));
            return latin1(hexText(e.bytes, kListedBytes)) + QStringLiteral("  ") + latin1(asciiText(shown));
        }
        default:
            return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"Time", "Dir", "Peer", "Length", "Summary", "Bytes"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

void TrafficModel::append(std::vector<TrafficEntry> entries) {
    const std::size_t capacity = ring_.capacity();
    std::size_t skip = entries.size() > capacity ? entries.size() - capacity : 0;  // would go at once
    const std::size_t adding = entries.size() - skip;
    const std::size_t overflow = ring_.size() + adding > capacity ? ring_.size() + adding - capacity : 0;
    if (overflow > 0) {
        beginRemoveRows({}, 0, static_cast<int>(overflow) - 1);
        ring_.dropOldest(overflow);
        endRemoveRows();
    }
    if (adding == 0) return;
    const int first = static_cast<int>(ring_.size());
    beginInsertRows({}, first, first + static_cast<int>(adding) - 1);
    for (; skip < entries.size(); ++skip) ring_.push(std::move(entries[skip]));
    endInsertRows();
}

void TrafficModel::clear() {
    beginResetModel();
    ring_.clear();
    endResetModel();
}

TrafficDock::TrafficDock(Prompter& prompter, QWidget* parent)
    : QDockWidget(QStringLiteral("Traffic"), parent), prompter_(prompter), model_(new TrafficModel) {
    setObjectName(QStringLiteral("trafficDock"));
    model_->setParent(this);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* bar = new QToolBar(body);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    pause_ = bar->addAction(QStringLiteral("Pause"));
    pause_->setCheckable(true);
    pause_->setStatusTip(QStringLiteral("Stop adding traffic to the list"));
    QAction* clear = bar->addAction(QStringLiteral("Clear"));
    clear->setStatusTip(QStringLiteral("Empty the list"));
    QAction* save = bar->addAction(QStringLiteral("Save as..."));
    save->setStatusTip(QStringLiteral("Write the listed traffic to a text file"));
    layout->addWidget(bar);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    table_ = new QTableView(body);
    table_->setModel(model_);
    table_->setFont(fixed);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics fm(fixed);
    const int widths[] = {
        fm.horizontalAdvance(QStringLiteral("00:00:00.000")), fm.horizontalAdvance(QStringLiteral("recv")),
        fm.horizontalAdvance(QStringLiteral("255.255.255.255:65535")), fm.horizontalAdvance(QStringLiteral("Length")),
        fm.horizontalAdvance(QStringLiteral("ProbeReply  Pump-House-10  00:50:C2:7A:10:0A  product 74  version 1.1"))};
    for (int c = 0; c < TrafficModel::ByteText; ++c) table_->setColumnWidth(c, widths[c] + 16);
    dump_ = new QPlainTextEdit(body);
    dump_->setReadOnly(true);
    dump_->setFont(fixed);
    dump_->setLineWrapMode(QPlainTextEdit::NoWrap);
    dump_->setPlaceholderText(QStringLiteral("Select a line to see all of its bytes."));
    auto* split = new QSplitter(Qt::Vertical, body);
    split->addWidget(table_);
    split->addWidget(dump_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split);
    setWidget(body);

    batch_.setSingleShot(true);
    batch_.setInterval(kBatchMs);
    connect(&batch_, &QTimer::timeout, this, &TrafficDock::flush);
    connect(clear, &QAction::triggered, this, [this] {
        pending_.clear();
        model_->clear();
        dump_->clear();
    });
    connect(save, &QAction::triggered, this, &TrafficDock::saveAs);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TrafficDock::showCurrent);
    fileAsker_ = [this](const FileQuestion& question, FileAnswer answer) {
        openFileDialog(this, question, std::move(answer));
    };
    setTrafficSink(this);
}

TrafficDock::~TrafficDock() {
    if (trafficSink() == this) setTrafficSink(nullptr);
}

void TrafficDock::record(TrafficEntry entry) {
    if (pause_->isChecked()) return;
    pending_.push_back(std::move(entry));
    if (!batch_.isActive()) batch_.start();
}

void TrafficDock::flush() {
    batch_.stop();
    if (pending_.empty()) return;
    QScrollBar* bar = table_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    std::vector<TrafficEntry> batch;
    batch.swap(pending_);
    model_->append(std::move(batch));
    if (following && isVisible()) table_->scrollToBottom();
}

void TrafficDock::showCurrent() {
    const int row = table_->currentIndex().row();
    if (row < 0 || static_cast<std::size_t>(row) >= model_->ring().size()) {
        dump_->clear();
        return;
    }
    dump_->setPlainText(latin1(formatTrafficEntry(model_->ring().at(static_cast<std::size_t>(row)))));
}

void TrafficDock::saveAs() {
    fileAsker_({FileQuestion::Kind::SaveFile, QStringLiteral("Save as"), QStringLiteral("traffic.txt"),
                QStringLiteral("Text files (*.txt);;All files (*)")},
               [this](const QString& path) { saveTo(path); });
}

bool TrafficDock::saveTo(const QString& path) {
    flush();
    std::string text;
    for (std::size_t i = 0; i < model_->ring().size(); ++i) text += formatTrafficEntry(model_->ring().at(i));
    std::string why;
    if (writeFileAtomically(path.toStdString(), text, 0644, &why)) return true;
    prompter_.showMessage("Error", "The traffic could not be saved: " + why, MessageIcon::Warning);
    return false;
}

}  // namespace tarn
