// The demo: starts tarn-sim beside the executable with a fleet file, on loopback, and points the
// main frame's probe at it once the simulator reports that it is ready. Never blocks the window.
#pragma once

#include <QObject>
#include <QProcess>

namespace tarn {

class CMainFrame;

class DemoFleet : public QObject {
    Q_OBJECT
public:
    DemoFleet(CMainFrame& frame, QString fleetFile, QObject* parent = nullptr);
    ~DemoFleet() override;
    void start();

private:
    void onOutput();
    void onFailed();

    CMainFrame& frame_;
    QString fleetFile_;
    QProcess process_;
    int devices_ = 0;
    bool ready_ = false;
};

}  // namespace tarn
