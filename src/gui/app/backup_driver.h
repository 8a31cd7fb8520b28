// Runs "Back up devices..." for the main frame: a DeviceJob (Back up) with its socket and timers,
// and a progress dialog that can be cancelled (the device being read finishes, the rest are
// cancelled). Nothing waits: the window goes on while the devices are read.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include "gui/app/job_driver.h"

namespace tarn {

struct FrameState;

class BackupDriver : public QObject {
    Q_OBJECT
public:
    BackupDriver(FrameState& frame, Prompter& prompter, QWidget* window);
    ~BackupDriver() override;

    // Backs up the devices into the folder; false when a backup is already running.
    bool start(std::vector<DeviceEntry> devices, const QString& folder);
    bool running() const { return job_.running(); }
    QProgressDialog* progressDialog() const { return progress_; }
    // Waits for the sessions' timers and between devices; tests shorten them.
    void setTiming(int spacingMs, int replyWaitMs) { job_.setTiming(spacingMs, replyWaitMs); }

signals:
    void finished(const tarn::OperationOutcomes& outcomes, const QString& folder, const QString& indexError);

private:
    void jobProgress(int done, int total, const QString& current);
    void jobFinished(const OperationOutcomes& outcomes, const QString& indexError);
    void showProgress();

    Prompter& prompter_;
    QWidget* window_;
    JobDriver job_;
    QPointer<QProgressDialog> progress_;
    // The dialog shows the progress a few times a second, not once per device of a large site.
    QTimer progressTimer_;
    int done_ = 0;
    int total_ = 0;
    QString current_;
    QString folder_;
};

}  // namespace tarn
