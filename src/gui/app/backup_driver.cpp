#include "gui/app/backup_driver.h"

#include <QDir>

#include "core/fleet/fleet_index.h"
#include "gui/app/frame_state.h"
#include "gui/params/manager_view.h"
#include "link/common/qt_bytes.h"
#include "link/discovery/device_socket.h"
#include "link/discovery/local_subnet.h"

namespace tarn {

BackupDriver::BackupDriver(FrameState& frame, Prompter& prompter, QWidget* window)
    : QObject(window), frame_(frame), prompter_(prompter), window_(window) {
    for (BackupTimer which :
         {BackupTimer::SessionNextDevice, BackupTimer::SessionReplyWait, BackupTimer::Spacing, BackupTimer::Settle}) {
        auto t = std::make_unique<QTimer>();
        t->setSingleShot(true);
        connect(t.get(), &QTimer::timeout, this, [this, which] {
            if (run_) run_->timerExpired(which);
        });
        timers_[which] = std::move(t);
    }
}

BackupDriver::~BackupDriver() = default;

QTimer& BackupDriver::timer(BackupTimer which) { return *timers_.at(which); }

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
            if (run_) run_->handleDatagram(asBytes(d.data));
        });
    }
    SessionSettings settings;
    settings.dataDir = QDir(frame_.dataDir).absolutePath().toStdString() + "/";
    settings.logPath = QDir(frame_.writableDir).filePath(QStringLiteral("pwd.ini")).toStdString();
    settings.replyWaitMs = replyWaitMs_;
    run_ = std::make_unique<BackupRun>(static_cast<BackupHost&>(*this), prompter_, settings, spacingMs_);

    const int total = static_cast<int>(devices.size());
    progress_ = new QProgressDialog(QStringLiteral("Backing up %1 devices...").arg(total), QStringLiteral("Cancel"), 0,
                                    total, window_);
    progress_->setWindowTitle(QStringLiteral("Back up devices"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    // The Cancel button, closing the dialog and Escape all stop the run.
    const auto cancel = [this] {
        if (run_) run_->cancel();
    };
    connect(progress_, &QProgressDialog::canceled, this, cancel);
    connect(progress_, &QDialog::rejected, this, cancel);
    progress_->open();
    run_->start(std::move(devices), QDir(folder).absolutePath().toStdString());
    return true;
}

bool BackupDriver::onLocalSubnet(const std::string& ip) const { return IsOnLocalSubnet(ip); }

bool BackupDriver::sendDatagram(const Bytes& datagram, const std::string& address) {
    socket_->setBroadcastAddress(frame_.broadcastAddress);
    return socket_->sendTo(
        QByteArray(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size())),
        frame_.devicePort, QString::fromStdString(address));
}

void BackupDriver::startTimer(BackupTimer which, int ms) { timer(which).start(ms); }

void BackupDriver::stopTimer(BackupTimer which) { timer(which).stop(); }

void BackupDriver::backupProgress(int done, int total, const std::string& current) {
    if (!progress_) return;
    progress_->setMaximum(total);
    progress_->setValue(done);
    progress_->setLabelText(current.empty() ? QStringLiteral("Backed up %1 of %2 devices").arg(done).arg(total)
                                            : QStringLiteral("Reading %1 (%2 of %3)...")
                                                  .arg(QString::fromLatin1(current.c_str()))
                                                  .arg(done + 1)
                                                  .arg(total));
}

void BackupDriver::backupFinished(const OperationOutcomes& outcomes, const std::string& indexError) {
    if (progress_) progress_->close();
    emit finished(outcomes, folder_, QString::fromStdString(indexError));
}

}  // namespace tarn
