#include "gui/app/site_table_driver.h"

#include <QDir>

#include "core/common/file_io.h"
#include "gui/common/frame_state.h"
#include "link/common/qt_bytes.h"

namespace tarn {

namespace {

constexpr const char* kCaption = "Apply values from table";
constexpr std::size_t kMaxTableSize = 16u << 20;

}  // namespace

SiteTableDriver::SiteTableDriver(FrameState& frame, Prompter& prompter, QWidget* window)
    : QObject(window), frame_(frame), prompter_(prompter), window_(window), job_(frame, prompter, this) {
    connect(&job_, &JobDriver::progress, this, &SiteTableDriver::jobProgress);
    connect(&job_, &JobDriver::deviceDone, this, &SiteTableDriver::deviceFinished);
    connect(&job_, &JobDriver::finished, this, [this](const OperationOutcomes& outcomes) { jobFinished(outcomes); });
}

SiteTableDriver::~SiteTableDriver() = default;

bool SiteTableDriver::open(const QString& path, std::vector<DeviceEntry> known) {
    if (running() || dialog_) {
        prompter_.showMessage(kCaption, "A table is being worked on: wait until it is done.", MessageIcon::Warning);
        return false;
    }
    const FileContent file = readWholeFile(path.toStdString(), kMaxTableSize);
    if (file.status != ReadStatus::Ok) {
        prompter_.showMessage(kCaption, "Cannot read " + path.toStdString(), MessageIcon::Warning);
        return false;
    }
    SiteRead read = parseSiteTable(file.text);
    if (!read.problems.empty()) {
        prompter_.showMessage(kCaption,
                              path.toStdString() + " cannot be used:\n" + siteProblemsText(read.table, read.problems),
                              MessageIcon::Warning);
        return false;
    }
    FleetFilter filter;
    for (const SiteDevice& device : read.table.devices) filter.macs.push_back(device.mac);
    listed_ = selectFleet(known, filter, [](const std::string&) { return std::string(); });
    dialog_ = new SiteTableDialog(std::move(read.table), std::move(known), frame_.dataDir, prompter_, window_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog_, &SiteTableDialog::applyConfirmed, this,
            [this](const SiteValues& values, bool reboot) { startJob(JobKind::Set, values, reboot); });
    // Closed while the devices are read: the device being read finishes, the rest are not.
    connect(dialog_, &QDialog::rejected, this, [this] {
        if (kind_ == JobKind::Get) job_.cancel();
    });
    dialog_->open();
    startJob(JobKind::Get, {}, false);
    return true;
}

void SiteTableDriver::startJob(JobKind kind, SiteValues values, bool reboot) {
    kind_ = kind;
    JobRequest request;
    request.kind = kind;
    request.selection = listed_;
    if (kind == JobKind::Set) {
        if (dialog_) applied_ = dialog_->table();  // the dialog closes as the set starts
        // Only the devices that change: the others are not touched again (their outcomes come from
        // the reading, jobFinished).
        std::erase_if(request.selection.devices,
                      [&values](const DeviceEntry& d) { return !values.count(siteMac(d.mac).value_or(d.mac)); });
        request.selection.unreached.clear();
    }
    request.values = std::move(values);
    request.reboot = reboot;
    job_.start(std::move(request));
}

void SiteTableDriver::jobProgress(int done, int total, const QString& current) {
    const QString verb = kind_ == JobKind::Get ? QStringLiteral("Reading") : QStringLiteral("Setting values of");
    emit progress(current.isEmpty()
                      ? QString()
                      : QStringLiteral("%1 %2 (%3 of %4)...").arg(verb, current).arg(done + 1).arg(total));
}

void SiteTableDriver::deviceFinished(const DeviceResult& result) {
    if (kind_ != JobKind::Get || !dialog_) return;
    const DeviceOutcome& o = result.outcome;
    if (o.status == OutcomeStatus::Ok && result.table)
        dialog_->deviceRead(o.device, *result.table);
    else
        dialog_->deviceFailed(o.device.mac, std::string(statusName(o.status)) + ": " + o.message);
}

void SiteTableDriver::jobFinished(const OperationOutcomes& outcomes) {
    emit progress(QString());
    if (kind_ == JobKind::Get) {
        read_ = outcomes;
        if (dialog_) dialog_->readingDone();
        return;
    }
    // One line per line of the table, as tarnctl gives them: set, unchanged, no reply, failed.
    emit finished(siteOutcomes(applied_, read_, outcomes));
}

}  // namespace tarn
