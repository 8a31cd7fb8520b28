#include "gui/app/site_table_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/manage/management_requests.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

const QColor kProblemColor(255, 200, 200);
// The preview follows the devices being read a few times a second, not once per device.
constexpr int kRefreshMs = 100;

}  // namespace

SiteTableDialog::SiteTableDialog(SiteTable table, std::vector<DeviceEntry> answered, const QString& dataDir,
                                 Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      table_(std::move(table)),
      answered_(std::move(answered)),
      definitions_(dataDir.toStdString() + "/"),
      prompter_(prompter) {
    setWindowTitle(QStringLiteral("Apply values from table"));
    setObjectName(QStringLiteral("siteTableDialog"));
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    layout->addWidget(summary_);
    preview_ = new QTableWidget(0, ColumnCount, this);
    preview_->setHorizontalHeaderLabels({"Device", "MAC", "Row", "Now", "New"});
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setSelectionBehavior(QAbstractItemView::SelectRows);
    preview_->verticalHeader()->hide();
    preview_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    preview_->verticalHeader()->setDefaultSectionSize(preview_->fontMetrics().height() + 6);
    preview_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    preview_->horizontalHeader()->setSectionResizeMode(NewColumn, QHeaderView::Stretch);
    layout->addWidget(preview_, 1);
    showPasswords_ = new QCheckBox(QStringLiteral("Show"), this);
    showPasswords_->setToolTip(QStringLiteral("Show the devices' own passwords instead of dots"));
    connect(showPasswords_, &QCheckBox::toggled, this, [this] { refresh(); });
    layout->addWidget(showPasswords_);
    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("siteProblems"));
    problems_->setWordWrap(true);
    problems_->setTextFormat(Qt::PlainText);
    problems_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(problems_);

    // The fill helper.
    auto* fillRow = new QHBoxLayout;
    fillRow->addWidget(new QLabel(QStringLiteral("Fill column"), this));
    fillColumn_ = new QComboBox(this);
    for (const std::string& column : table_.columns) fillColumn_->addItem(latin1(column));
    fillRow->addWidget(fillColumn_);
    fillKind_ = new QComboBox(this);
    fillKind_->addItems({QStringLiteral("with addresses from"), QStringLiteral("with the names")});
    fillRow->addWidget(fillKind_);
    fillStart_ = new QLineEdit(QStringLiteral("192.168.1.11"), this);
    fillRow->addWidget(fillStart_, 1);
    auto* numberLabel = new QLabel(QStringLiteral("step"), this);
    fillRow->addWidget(numberLabel);
    fillNumber_ = new QSpinBox(this);
    fillNumber_->setRange(1, 65535);
    fillRow->addWidget(fillNumber_);
    fillButton_ = new QPushButton(QStringLiteral("Fill"), this);
    fillRow->addWidget(fillButton_);
    layout->addLayout(fillRow);
    // Addresses go into the IP address column, names into the device name, when the table has them.
    const auto offerColumn = [this](const char* row) {
        const int column = fillColumn_->findText(QString::fromLatin1(row));
        if (column >= 0) fillColumn_->setCurrentIndex(column);
    };
    offerColumn(kSiteAddressRow);
    connect(fillKind_, &QComboBox::activated, this, [this, numberLabel, offerColumn](int kind) {
        fillStart_->setText(kind == 0 ? QStringLiteral("192.168.1.11") : QStringLiteral("Pump-{n}"));
        numberLabel->setText(kind == 0 ? QStringLiteral("step") : QStringLiteral("first {n}"));
        offerColumn(kind == 0 ? kSiteAddressRow : kSiteNameRow);
    });
    connect(fillButton_, &QPushButton::clicked, this, [this] {
        fill(fillColumn_->currentIndex(), fillKind_->currentIndex(), fillStart_->text(), fillNumber_->value());
    });
    fillButton_->setEnabled(!table_.columns.empty());

    reboot_ = new QCheckBox(QStringLiteral("Reboot the devices afterwards, so that a new name or address takes effect"),
                            this);
    layout->addWidget(reboot_);
    auto* buttons = new QDialogButtonBox(this);
    apply_ = buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(apply_, &QPushButton::clicked, this, &SiteTableDialog::onApply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 480);
    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &SiteTableDialog::refresh);
    check();
    refresh();
}

void SiteTableDialog::deviceRead(const DeviceEntry& device, const ParameterTable& values) {
    const std::string mac = siteMac(device.mac).value_or(device.mac);
    std::string problem;
    const ParameterTable* list = definitions_.list(device.productId, device.version, &problem);
    if (!list) return deviceFailed(mac, problem);
    ParameterTable copy = *list;
    for (int r = 0; r < copy.recordRowCount() && r < values.recordRowCount(); ++r)
        copy.setValue(r, values.row(r).value);
    read_.insert_or_assign(mac, std::move(copy));
    refreshSoon();
}

void SiteTableDialog::deviceFailed(const std::string& mac, const std::string& message) {
    failed_[siteMac(mac).value_or(mac)] = message;
    refreshSoon();
}

void SiteTableDialog::refreshSoon() {
    if (!refreshTimer_.isActive()) refreshTimer_.start(kRefreshMs);
}

void SiteTableDialog::readingDone() {
    readingDone_ = true;
    refresh();
}

void SiteTableDialog::fill(int column, int kind, const QString& start, int number) {
    SiteFill rule;
    rule.kind = kind == 0 ? SiteFill::Kind::Addresses : SiteFill::Kind::Names;
    rule.start = latin1Bytes(start);
    rule.step = number;
    rule.first = number;
    std::vector<std::size_t> devices(table_.devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) devices[i] = i;
    if (const auto problem = fillSiteColumn(table_, column, rule, devices)) {
        prompter_.showMessage("Fill column", *problem, MessageIcon::Warning);
        return;
    }
    check();
    refresh();
}

void SiteTableDialog::check() {
    problemList_ = checkSiteTable(table_, answered_, definitions_);
    problems_->setText(latin1(siteProblemsText(table_, problemList_)));
    problems_->setVisible(!problemList_.empty());
}

void SiteTableDialog::refresh() {
    refreshTimer_.stop();
    std::map<std::string, const DeviceEntry*> byMac;
    for (const DeviceEntry& d : answered_) byMac.emplace(siteMac(d.mac).value_or(d.mac), &d);
    preview_->setRowCount(0);
    int changes = 0, devices = 0, waiting = 0;
    const bool show = showPasswords_->isChecked();
    const auto addLine = [this](const QString& device, const std::string& mac, const std::string& row,
                                const std::string& now, const std::string& next, bool problem) {
        const int r = preview_->rowCount();
        preview_->insertRow(r);
        const QString texts[ColumnCount] = {device, latin1(mac), latin1(row), latin1(now), latin1(next)};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (problem) item->setBackground(kProblemColor);
            preview_->setItem(r, c, item);
        }
    };
    for (const SiteDevice& device : table_.devices) {
        const auto found = byMac.find(device.mac);
        const QString name = found == byMac.end() ? QString() : latin1(found->second->name);
        if (const auto failed = failed_.find(device.mac); failed != failed_.end()) {
            addLine(name, device.mac, {}, failed->second, {}, true);
        } else if (found == byMac.end()) {
            addLine(name, device.mac, {}, "not in the device list (probe first)", {}, true);
        } else if (const auto read = read_.find(device.mac); read != read_.end()) {
            const ByteOrder order = byteOrderForProduct(productNumberFromId(found->second->productId));
            const std::vector<RowChange> rows = siteChanges(table_, device, read->second, order);
            for (const RowChange& c : rows)
                addLine(name, device.mac, c.name, shownText(read->second, c.row, c.deviceValue, show),
                        shownText(read->second, c.row, c.fileValue, show), false);
            if (rows.empty()) addLine(name, device.mac, {}, "no change", {}, false);
            changes += static_cast<int>(rows.size());
            devices += rows.empty() ? 0 : 1;
        } else {
            ++waiting;
            // Before the device is read, its definitions tell which column is its password.
            const ParameterTable* list = definitions_.list(found->second->productId, found->second->version);
            for (std::size_t c = 0; c < table_.columns.size() && c < device.cells.size(); ++c) {
                if (device.cells[c].empty()) continue;
                const std::vector<int> rows = list ? list->findRows(table_.columns[c]) : std::vector<int>{};
                const std::string next =
                    rows.size() == 1 ? shownText(*list, rows.front(), device.cells[c], show) : device.cells[c];
                addLine(name, device.mac, table_.columns[c], "reading...", next, false);
            }
        }
    }
    summary_->setText(
        waiting && !readingDone_
            ? QStringLiteral("Reading the devices (%1 of %2 to go)...").arg(waiting).arg(table_.devices.size())
            : QStringLiteral("%1 rows change on %2 of the %3 devices of the table.")
                  .arg(changes)
                  .arg(devices)
                  .arg(table_.devices.size()));
    apply_->setEnabled(readingDone_ && problemList_.empty() && changes > 0 && !asking_);
}

void SiteTableDialog::onApply() {
    if (asking_) return;
    // The devices that change, each with its cells: the job compares them again when it sets them.
    SiteValues values;
    std::size_t rows = 0;
    const auto lines = table_.deviceIndexes();
    for (const DeviceEntry& d : answered_) {
        const std::string mac = siteMac(d.mac).value_or(d.mac);
        const auto line = lines.find(mac);
        const auto read = read_.find(mac);
        if (line == lines.end() || read == read_.end()) continue;
        const SiteDevice& device = table_.devices[line->second];
        const std::size_t changes =
            siteChanges(table_, device, read->second, byteOrderForProduct(productNumberFromId(d.productId))).size();
        if (changes == 0) continue;
        rows += changes;
        values[mac] = siteValues(SiteTable{table_.columns, {device}}).begin()->second;
    }
    asking_ = true;
    refresh();
    const bool reboot = reboot_->isChecked();
    prompter_.askYesNo("Apply values from table",
                       "Set " + std::to_string(rows) + " rows on " + std::to_string(values.size()) + " devices" +
                           (reboot ? " and reboot them" : "") + " now?",
                       liveness_.guard([this, values, reboot](bool yes) {
                           asking_ = false;
                           if (!yes) return refresh();
                           emit applyConfirmed(values, reboot);
                           accept();
                       }));
}

}  // namespace tarn
