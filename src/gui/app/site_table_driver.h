// Runs File > "Apply values from table..." for the main frame: reads the table, opens its preview
// (SiteTableDialog, with open()), reads the listed devices through a DeviceJob (Get) so that the
// preview shows what each holds now, and once the operator confirmed gives each device its own
// values through a second job (Set). Its outcomes, one per line of the table, go to the Results
// dock. Nothing waits.
#pragma once

#include <vector>

#include <QObject>
#include <QPointer>

#include "gui/app/job_driver.h"
#include "gui/app/site_table_dialog.h"

namespace tarn {

struct FrameState;

class SiteTableDriver : public QObject {
    Q_OBJECT
public:
    SiteTableDriver(FrameState& frame, Prompter& prompter, QWidget* window);
    ~SiteTableDriver() override;

    // Opens the preview of the table at `path` for the devices the window knows (the devices of its
    // list); false, after a message, when the file cannot be used or a table is being worked on.
    bool open(const QString& path, std::vector<DeviceEntry> known);
    bool running() const { return job_.running(); }
    SiteTableDialog* dialog() const { return dialog_; }
    // Waits for the sessions' timers and between devices; tests shorten them.
    void setTiming(int spacingMs, int replyWaitMs) { job_.setTiming(spacingMs, replyWaitMs); }

signals:
    void progress(const QString& text);
    // The devices were given their values (or not): one outcome per listed device.
    void finished(const tarn::OperationOutcomes& outcomes);

private:
    void startJob(JobKind kind, SiteValues values, bool reboot);

    void jobProgress(int done, int total, const QString& current);
    void deviceFinished(const DeviceResult& result);
    void jobFinished(const OperationOutcomes& outcomes);

    FrameState& frame_;
    Prompter& prompter_;
    QWidget* window_;
    JobDriver job_;
    JobKind kind_ = JobKind::Get;
    QPointer<SiteTableDialog> dialog_;
    FleetSelection listed_;   // the table's devices among the known ones
    OperationOutcomes read_;  // how reading each listed device went
    SiteTable applied_;       // the table as it was applied
};

}  // namespace tarn
