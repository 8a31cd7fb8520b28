// Runs "Back up devices..." for the main frame: the BackupRun's socket and timers, and a progress
// dialog that can be cancelled. Nothing waits: the window goes on while the devices are read.
#pragma once

#include <map>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include "core/fleet/backup_run.h"

namespace tarn {

class CDeviceSocket;
struct FrameState;

class BackupDriver : public QObject, private BackupHost {
    Q_OBJECT
public:
    BackupDriver(FrameState& frame, Prompter& prompter, QWidget* window);
    ~BackupDriver() override;

    // Backs up the devices into the folder; false when a backup is already running.
    bool start(std::vector<DeviceEntry> devices, const QString& folder);
    bool running() const { return run_ && run_->running(); }
    QProgressDialog* progressDialog() const { return progress_; }
    // Waits for the sessions' timers and between devices; tests shorten them.
    void setTiming(int spacingMs, int replyWaitMs) {
        spacingMs_ = spacingMs;
        replyWaitMs_ = replyWaitMs;
    }

signals:
    void finished(const tarn::OperationOutcomes& outcomes, const QString& folder, const QString& indexError);

private:
    bool onLocalSubnet(const std::string& ip) const override;
    bool sendDatagram(const Bytes& datagram, const std::string& address) override;
    void startTimer(BackupTimer timer, int ms) override;
    void stopTimer(BackupTimer timer) override;
    void backupProgress(int done, int total, const std::string& current) override;
    void backupFinished(const OperationOutcomes& outcomes, const std::string& indexError) override;
    QTimer& timer(BackupTimer which);

    FrameState& frame_;
    Prompter& prompter_;
    QWidget* window_;
    std::unique_ptr<BackupRun> run_;
    CDeviceSocket* socket_ = nullptr;
    QPointer<QProgressDialog> progress_;
    std::map<BackupTimer, std::unique_ptr<QTimer>> timers_;
    QString folder_;
    int spacingMs_ = 100;
    int replyWaitMs_ = 3000;
};

}  // namespace tarn
