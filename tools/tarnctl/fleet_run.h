// What the fleet commands share (fleet_command.cpp, fleet_table_command.cpp): the fleet options
// (discovery, selection, credentials, spacing) and FleetRun, one fleet command on the application's
// event loop: the probe, the selection, then a DeviceJob, one line per device as it is over.
// SIGINT and SIGTERM end a run after the device in flight.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCommandLineParser>
#include <QObject>
#include <QTimer>

#include "core/fleet/device_job.h"
#include "core/fleet/fleet_selection.h"
#include "link/common/single_shot_timers.h"
#include "link/discovery/management_link.h"
#include "tarnctl/device_session.h"
#include "tarnctl/probe.h"

namespace tarnctl {

void printLine(const FleetOptions& o, const tarn::DeviceOutcome& outcome);

// One fleet command on the application's event loop: the probe, the selection, then the DeviceJob
// (socket and timers here), one line per device as it is over; `done` gets the outcomes.
class FleetRun : private tarn::DeviceJobHost {
public:
    using Done = std::function<void(const tarn::OperationOutcomes&, const std::string& indexError)>;
    // Sees the selection and every device that answered the probe; a code other than kExitOk ends the
    // run there (after its message), before anything is sent to a device.
    using Selected = std::function<int(const tarn::FleetSelection&, const std::vector<tarn::DeviceEntry>& answered)>;

    FleetRun(const FleetOptions& o, tarn::ProductNames names);

    // Probes, selects, and runs the job the request describes; `done` once the job is over.
    void start(tarn::JobRequest request, Selected selected, Done done);
    // SIGINT or SIGTERM, once either came (the job then cancels the devices not yet started); else 0.
    int stopSignal() const { return stopSignal_; }
    // Called with each device's result as it is over, after its line (the table read is only valid
    // during the call).
    std::function<void(const tarn::DeviceResult&)> onDevice;

private:
    bool onLocalSubnet(const std::string& ip) const override;
    bool sendDatagram(const tarn::Bytes& datagram, const std::string& address) override;
    void startTimer(tarn::JobTimer timer, int ms) override { timers_.start(timer, ms); }
    void stopTimer(tarn::JobTimer timer) override { timers_.stop(timer); }
    void jobProgress(int, int, const std::string&) override {}
    void deviceMessage(const tarn::DeviceEntry&, const std::string& caption, const std::string& text) override;
    void deviceFinished(const tarn::DeviceResult& result) override;
    void jobFinished(const tarn::OperationOutcomes& outcomes, const std::string& indexError) override;
    void tellFailure(const tarn::DeviceOutcome& outcome) const;

    const FleetOptions& o_;
    tarn::ProductNames names_;
    CliPrompter operator_;
    tarn::ManagementLink link_;
    QObject signalContext_;  // the stop signals are delivered while the run lives
    int stopSignal_ = 0;
    tarn::SingleShotTimers<tarn::JobTimer> timers_;
    std::unique_ptr<tarn::DeviceJob> job_;
    Done done_;
    bool dryRun_ = false;
};

// pwd.ini written, the index printed with --json; the exit code of the run (128 + the stop signal
// of a stopped one).
int finish(const FleetOptions& o, const tarn::OperationOutcomes& outcomes, const tarn::ProductNames& names,
           int stopSignal);

}  // namespace tarnctl
