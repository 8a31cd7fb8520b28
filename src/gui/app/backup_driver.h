// Runs "Back up devices..." for the main frame: a DeviceJob (Back up) with its socket and timers,
// and a progress dialog that can be cancelled (the device being read finishes, the rest are
// cancelled). Nothing waits: the window goes on while the devices are read.
#pragma once

#include <map>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include "core/fleet/device_job.h"

namespace tarn {

class CDeviceSocket;
struct FrameState;

class BackupDriver : public QObject, private DeviceJobHost {
    Q_OBJECT
public:
    BackupDriver(FrameState& frame, Prompter& prompter, QWidget* window);
    ~BackupDriver() override;

    // Backs up the devices into the folder; false when a backup is already running.
    bool start(std::vector<DeviceEntry> devices, const QString& folder);
    bool running() const { return job_ && job_->running(); }
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
    void startTimer(JobTimer timer, int ms) override;
    void stopTimer(JobTimer timer) override;
    void jobProgress(int done, int total, const std::string& current) override;
    void jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) override;
    void showProgress();

    FrameState& frame_;
    Prompter& prompter_;
    QWidget* window_;
    std::unique_ptr<DeviceJob> job_;
    CDeviceSocket* socket_ = nullptr;
    QPointer<QProgressDialog> progress_;
    std::map<JobTimer, std::unique_ptr<QTimer>> timers_;
    // The dialog shows the progress a few times a second, not once per device of a large site.
    QTimer progressTimer_;
    int done_ = 0;
    int total_ = 0;
    std::string current_;
    QString folder_;
    int spacingMs_ = 100;
    int replyWaitMs_ = 3000;
};

}  // namespace tarn
