// Runs File > "Apply values from table..." for the main frame: reads the table, opens its preview
// (SiteTableDialog, with open()), reads the listed devices through a DeviceJob (Get) so that the
// preview shows what each holds now, and once the operator confirmed gives each device its own
// values through a second job (Set). Its outcomes go to the Results dock. Nothing waits.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "core/fleet/device_job.h"
#include "gui/app/site_table_dialog.h"

namespace tarn {

class CDeviceSocket;
struct FrameState;

class SiteTableDriver : public QObject, private DeviceJobHost {
    Q_OBJECT
public:
    SiteTableDriver(FrameState& frame, Prompter& prompter, QWidget* window);
    ~SiteTableDriver() override;

    // Opens the preview of the table at `path` for the devices the window knows (the devices of its
    // list); false, after a message, when the file cannot be used or a table is being worked on.
    bool open(const QString& path, std::vector<DeviceEntry> known);
    bool running() const { return job_ && job_->running(); }
    SiteTableDialog* dialog() const { return dialog_; }
    // Waits for the sessions' timers and between devices; tests shorten them.
    void setTiming(int spacingMs, int replyWaitMs) {
        spacingMs_ = spacingMs;
        replyWaitMs_ = replyWaitMs;
    }

signals:
    void progress(const QString& text);
    // The devices were given their values (or not): one outcome per listed device.
    void finished(const tarn::OperationOutcomes& outcomes);

private:
    void startJob(JobKind kind, SiteValues values);

    bool onLocalSubnet(const std::string& ip) const override;
    bool sendDatagram(const Bytes& datagram, const std::string& address) override;
    void startTimer(JobTimer timer, int ms) override;
    void stopTimer(JobTimer timer) override;
    void jobProgress(int done, int total, const std::string& current) override;
    void deviceFinished(const DeviceResult& result) override;
    void jobFinished(const OperationOutcomes& outcomes, const std::string& indexError) override;

    FrameState& frame_;
    Prompter& prompter_;
    QWidget* window_;
    std::unique_ptr<DeviceJob> job_;
    JobKind kind_ = JobKind::Get;
    CDeviceSocket* socket_ = nullptr;
    std::map<JobTimer, std::unique_ptr<QTimer>> timers_;
    QPointer<SiteTableDialog> dialog_;
    FleetSelection listed_;  // the table's devices among the known ones
    int spacingMs_ = 100;
    int replyWaitMs_ = 3000;
};

}  // namespace tarn
