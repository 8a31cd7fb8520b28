// CTARNWnd: the live picture of one I/O device. It owns the command engine (CCommProcess), the
// poll timer and the three port dialogs; the MonitorPanel decides, this window paints what it
// holds and forwards clicks, ticks and link events.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "core/common/prompter.h"
#include "core/monitor/monitor_panel.h"
#include "gui/monitor/port_dialog.h"
#include "link/iolink/comm_process.h"

namespace tarn {

struct FrameState;
class CSetADCLevelDlg;
class CSetDelayPulseDlg;
class CSetInputDlg;

class CTARNWnd : public QWidget, private MonitorPanelHost {
    Q_OBJECT
public:
    // `intervalPath`: where "MonInter.dat" is read and written.
    // Questions and reports go through `prompter` (the frame's).
    CTARNWnd(const FrameState& frame, Prompter& prompter, QString intervalPath, QWidget* parent = nullptr);
    ~CTARNWnd() override;

    // Connects, reads the configuration and starts polling.
    void start();
    void SaveMonitorInterval();
    void Disconnect();

    MonitorPanel& panel() { return panel_; }
    CCommProcess& engine() { return engine_; }
    int monitorInterval() const { return panel_.monitorInterval(); }
    void setMonitorInterval(int seconds) { panel_.setMonitorInterval(seconds); }
    bool pollTimerActive() const { return pollTimer_.isActive(); }

    QSize sizeHint() const override { return {kPanelWidth, kPanelHeight}; }

signals:
    void titleChanged(const QString& title);
    // The monitor dialog is to close (it does so from its event loop).
    void closeRequested();
    // The serial number and firmware dialog is to close, likewise.
    void serialFirmwareCloseRequested();
    // When the device last gave a good status, as the monitor shows it.
    void lastGoodStatusChanged(const QString& text);
    // A poll's outcome was added to panel().history().
    void historyGrew();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void startPollTimer(int ms) override { pollTimer_.start(ms); }
    void stopPollTimer() override { pollTimer_.stop(); }
    void setTitle(std::string_view title) override;
    void repaint() override { update(); }
    bool connectLink() override;
    void disconnectLink() override { engine_.Disconnect(); }
    void closeMonitor() override { emit closeRequested(); }
    void closePortDialog() override;
    void closeSerialFirmware() override;
    void postReconnectQuestion() override;
    void goodStatusReceived() override;
    void sampleRecorded() override { emit historyGrew(); }

    const FrameState& frame_;
    const QString intervalPath_;
    Prompter& prompter_;
    CCommProcess engine_;
    MonitorPanel panel_;
    QTimer pollTimer_;
    QPixmap background_;
    qreal backgroundRatio_ = 0;
    CSetDelayPulseDlg* outputDialog_;
    CSetADCLevelDlg* adcDialog_;
    CSetInputDlg* inputDialog_;
    QPointer<PortDialog> openDialog_;
};

}  // namespace tarn
