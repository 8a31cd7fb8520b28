#include "gui/app/backup_driver.h"

#include <QDir>

#include "core/fleet/fleet_index.h"
#include "gui/app/frame_state.h"
#include "gui/params/manager_view.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"

namespace tarn {

namespace {

constexpr int kProgressIntervalMs = 100;

}  // namespace

BackupDriver::BackupDriver(FrameState& frame, Prompter& prompter, QWidget* window)
    : QObject(window), frame_(frame), prompter_(prompter), window_(window) {
    for (JobTimer which : {JobTimer::SessionNextDevice, JobTimer::SessionReplyWait, JobTimer::Spacing}) {
        auto t = std::make_unique<QTimer>();
        t->setSingleShot(true);
        connect(t.get(), &QTimer::timeout, this, [this, which] {
            if (job_) job_->timerExpired(which);
        });
        timers_[which] = std::move(t);
    }
    progressTimer_.setSingleShot(true);
    connect(&progressTimer_, &QTimer::timeout, this, &BackupDriver::showProgress);
}

BackupDriver::~BackupDriver() = default;

bool BackupDriver::start(std::vector<DeviceEntry> devices, const QString& folder) {
    if (running()) return false;
    std::vector<std::string> names;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) names.push_back(name.toStdString());
    if (const auto problem = earlierBackupProblem(QDir::toNativeSeparators(folder).toStdString(), names)) {
        prompter_.showMessage("Back up devices", *problem, MessageIcon::Warning);
        return false;
    }
    folder_ = folder;
    if (!socket_) {
        socket_ = new CDeviceSocket(CManagerView::kReceiveCapacity, ManagementChannel::Management, this);
        socket_->create();
        connect(socket_, &CDeviceSocket::socketReceive, this, [this](const Datagram& d) {
            if (job_) job_->handleDatagram(asBytes(d.data));
        });
    }
    SessionSettings settings;
    settings.dataDir = QDir(frame_.dataDir).absolutePath().toStdString() + "/";
    settings.logPath = QDir(frame_.writableDir).filePath(QStringLiteral("pwd.ini")).toStdString();
    settings.replyWaitMs = replyWaitMs_;
    job_ = std::make_unique<DeviceJob>(static_cast<DeviceJobHost&>(*this), prompter_, settings);

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
    const auto cancel = [this] {
        if (job_) job_->cancel();
    };
    connect(progress_, &QProgressDialog::canceled, this, cancel);
    connect(progress_, &QDialog::rejected, this, cancel);
    progress_->show();
    JobRequest request;
    request.kind = JobKind::Backup;
    request.selection.devices = std::move(devices);
    request.folder = QDir(folder).absolutePath().toStdString();
    request.spacingMs = spacingMs_;
    job_->start(std::move(request));
    return true;
}

bool BackupDriver::onLocalSubnet(const std::string& ip) const { return IsOnLocalSubnet(ip); }

bool BackupDriver::sendDatagram(const Bytes& datagram, const std::string& address) {
    socket_->setBroadcastAddress(frame_.broadcastAddress);
    return socket_->sendTo(
        QByteArray(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size())),
        frame_.devicePort, QString::fromStdString(address));
}

void BackupDriver::startTimer(JobTimer which, int ms) { timers_.at(which)->start(ms); }

void BackupDriver::stopTimer(JobTimer which) { timers_.at(which)->stop(); }

void BackupDriver::jobProgress(int done, int total, const std::string& current) {
    done_ = done;
    total_ = total;
    current_ = current;
    if (!progressTimer_.isActive()) progressTimer_.start(kProgressIntervalMs);
}

void BackupDriver::showProgress() {
    if (!progress_ || !running()) return;
    progress_->setMaximum(total_);
    progress_->setValue(done_);
    progress_->setLabelText(current_.empty() ? QStringLiteral("Backed up %1 of %2 devices").arg(done_).arg(total_)
                                             : QStringLiteral("Reading %1 (%2 of %3)...")
                                                   .arg(QString::fromLatin1(current_.c_str()))
                                                   .arg(done_ + 1)
                                                   .arg(total_));
}

void BackupDriver::jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) {
    progressTimer_.stop();
    if (progress_) progress_->close();
    emit finished(outcomes, folder_, QString::fromStdString(indexError));
}

}  // namespace tarn
