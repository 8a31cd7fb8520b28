// CTARNDlg: the I/O monitor dialog. It hosts the panel (CTARNWnd), chooses the poll interval
// (CSetMonitorTimeDlg) and, on a serial link, reads the serial number and firmware version
// (CTARNConfirmDlg), and opens the Trend view of the panel's recording (CTrendDlg). Closing it, by
// any way, closes the link and the Trend view.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tarn {

struct FrameState;
class Prompter;
class CTARNWnd;
class CTrendDlg;

class CTARNDlg : public QDialog {
    Q_OBJECT
public:
    // `intervalPath`: where "MonInter.dat" is kept.
    // Every question of the monitor goes through `prompter` (the frame's).
    CTARNDlg(const FrameState& frame, Prompter& prompter, const QString& intervalPath, QWidget* parent = nullptr);

    CTARNWnd* panel() const { return panel_; }
    QPushButton* serialButton() const { return serial_; }
    // The Trend view once it has been opened.
    CTrendDlg* trend() const { return trend_; }
    QLabel* lastStatus() const { return lastStatus_; }

    void OnSettingMonitorInterval();
    void OnConfirmingSerialFirmware();
    // Shows the Trend view (modeless), or raises it when it is open.
    void OnTrend();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CTARNWnd* panel_;
    QPushButton* interval_;
    QPushButton* serial_;
    QPushButton* trendButton_;
    CTrendDlg* trend_ = nullptr;
    QLabel* lastStatus_;
    Prompter& prompter_;
    bool started_ = false;
};

}  // namespace tarn
