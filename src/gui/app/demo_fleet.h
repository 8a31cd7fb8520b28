// The demo: starts tarn-sim beside the executable with a fleet file, on loopback, points the main
// frame's probe at it once the simulator reports that it is ready, and probes it then. Until then,
// and after a failure, the frame's Probe says why instead of sending. Never blocks the window.
#pragma once

#include <QObject>
#include <QProcess>

namespace tarn {

class CMainFrame;

class DemoFleet : public QObject {
    Q_OBJECT
public:
    // simulator: the tarn-sim to run; empty for the one beside the executable.
    DemoFleet(CMainFrame& frame, QString fleetFile, QString simulator = {}, QObject* parent = nullptr);
    ~DemoFleet() override;
    void start();

private:
    void onOutput();
    void onFailed();

    CMainFrame& frame_;
    QString fleetFile_;
    QString simulator_;
    QProcess process_;
    int devices_ = 0;
    bool ready_ = false;
};

}  // namespace tarn
