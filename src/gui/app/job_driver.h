// The window's host of a DeviceJob: its management link (opened on first use), its timers and the frame's
// session settings, for the window's site-wide commands (Back up devices..., Apply values from
// table...). One job at a time; a new start replaces a finished job. What the job reports comes out
// as signals. Nothing waits.
#pragma once

#include <memory>

#include <QObject>

#include "core/fleet/device_job.h"
#include "link/common/single_shot_timers.h"

namespace tarn {

class ManagementLink;
struct FrameState;

class JobDriver : public QObject, private DeviceJobHost {
    Q_OBJECT
public:
    JobDriver(FrameState& frame, Prompter& prompter, QObject* parent);
    ~JobDriver() override;

    // Starts the job with the frame's settings and this driver's spacing; false when one is running.
    bool start(JobRequest request);
    void cancel();
    bool running() const { return job_ && job_->running(); }
    // Waits for the sessions' timers and between devices; tests shorten them.
    void setTiming(int spacingMs, int replyWaitMs) {
        spacingMs_ = spacingMs;
        replyWaitMs_ = replyWaitMs;
    }

signals:
    // `done` devices of `total` are over; `current` is the device being worked on (empty between).
    void progress(int done, int total, const QString& current);
    void deviceDone(const tarn::DeviceResult& result);
    void finished(const tarn::OperationOutcomes& outcomes, const QString& indexError);

private:
    bool onLocalSubnet(const std::string& ip) const override;
    bool sendDatagram(const Bytes& datagram, const std::string& address) override;
    void startTimer(JobTimer timer, int ms) override;
    void stopTimer(JobTimer timer) override;
    void jobProgress(int done, int total, const std::string& current) override;
    void deviceFinished(const DeviceResult& result) override;
    void jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) override;

    FrameState& frame_;
    Prompter& prompter_;
    std::unique_ptr<DeviceJob> job_;
    ManagementLink* link_ = nullptr;
    SingleShotTimers<JobTimer> timers_;
    int spacingMs_ = 100;
    int replyWaitMs_ = 3000;
};

}  // namespace tarn
