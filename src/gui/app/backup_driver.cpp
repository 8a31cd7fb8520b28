#include "gui/app/backup_driver.h"

#include <QDir>

#include "core/fleet/fleet_index.h"

namespace tarn {

namespace {

constexpr int kProgressIntervalMs = 100;

}  // namespace

BackupDriver::BackupDriver(FrameState& frame, Prompter& prompter, QWidget* window)
    : QObject(window), prompter_(prompter), window_(window), job_(frame, prompter, this) {
    connect(&job_, &JobDriver::progress, this, &BackupDriver::jobProgress);
    connect(&job_, &JobDriver::finished, this, &BackupDriver::jobFinished);
    progressTimer_.setSingleShot(true);
    connect(&progressTimer_, &QTimer::timeout, this, &BackupDriver::showProgress);
}

BackupDriver::~BackupDriver() = default;

bool BackupDriver::start(std::vector<DeviceEntry> devices, const QString& folder) {
    if (running()) return false;
    if (const auto problem = prepareBackupFolder(QDir(folder).absolutePath().toStdString())) {
        prompter_.showMessage("Back up devices", *problem, MessageIcon::Warning);
        return false;
    }
    folder_ = folder;
    total_ = static_cast<int>(devices.size());
    done_ = 0;
    current_.clear();
    progress_ = new QProgressDialog(QStringLiteral("Backing up %1 devices...").arg(total_), QStringLiteral("Cancel"), 0,
                                    total_, window_);
    progress_->setWindowTitle(QStringLiteral("Back up devices"));
    // Not modal (shown, not opened: open() makes a dialog window-modal): a modal progress dialog
    // handles events inside setValue().
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    // The Cancel button, closing the dialog and Escape all stop the run after the device being read.
    connect(progress_, &QProgressDialog::canceled, &job_, &JobDriver::cancel);
    connect(progress_, &QDialog::rejected, &job_, &JobDriver::cancel);
    progress_->show();
    JobRequest request;
    request.kind = JobKind::Backup;
    request.selection.devices = std::move(devices);
    request.folder = QDir(folder).absolutePath().toStdString();
    job_.start(std::move(request));
    return true;
}

void BackupDriver::jobProgress(int done, int total, const QString& current) {
    done_ = done;
    total_ = total;
    current_ = current;
    if (!progressTimer_.isActive()) progressTimer_.start(kProgressIntervalMs);
}

void BackupDriver::showProgress() {
    if (!progress_ || !running()) return;
    progress_->setMaximum(total_);
    progress_->setValue(done_);
    progress_->setLabelText(current_.isEmpty()
                                ? QStringLiteral("Backed up %1 of %2 devices").arg(done_).arg(total_)
                                : QStringLiteral("Reading %1 (%2 of %3)...").arg(current_).arg(done_ + 1).arg(total_));
}

void BackupDriver::jobFinished(const OperationOutcomes& outcomes, const QString& indexError) {
    progressTimer_.stop();
    if (progress_) progress_->close();
    emit finished(outcomes, folder_, indexError);
}

}  // namespace tarn
