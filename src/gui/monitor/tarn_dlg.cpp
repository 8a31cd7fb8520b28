#include "gui/monitor/tarn_dlg.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/common/frame_state.h"
#include "gui/monitor/set_monitor_time_dlg.h"
#include "gui/monitor/tarn_confirm_dlg.h"
#include "gui/monitor/tarn_wnd.h"
#include "gui/monitor/trend_dlg.h"

namespace tarn {

CTARNDlg::CTARNDlg(const FrameState& frame, Prompter& prompter, const QString& intervalPath, QWidget* parent)
    : QDialog(parent), panel_(new CTARNWnd(frame, prompter, intervalPath, this)), prompter_(prompter) {
    setWindowTitle(QStringLiteral("TARN"));
    auto* layout = new QVBoxLayout(this);
    auto* border = new QFrame(this);
    border->setFrameShape(QFrame::Box);
    border->setFrameShadow(QFrame::Sunken);
    auto* borderLayout = new QVBoxLayout(border);
    borderLayout->setContentsMargins(1, 1, 1, 1);
    panel_->setParent(border);
    borderLayout->addWidget(panel_);
    layout->addWidget(border, 0, Qt::AlignHCenter);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    auto* row = new QHBoxLayout;
    interval_ = new QPushButton(QStringLiteral("Setting Monitor Interval"), this);
    serial_ = new QPushButton(QStringLiteral("Confirming Serial/Firmware"), this);
    trendButton_ = new QPushButton(QStringLiteral("Trend"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {interval_, serial_, trendButton_, close}) b->setAutoDefault(false);
    serial_->setVisible(frame.linkMode == LinkMode::Serial);
    lastStatus_ = new QLabel(QStringLiteral("No good status yet"), this);
    row->addWidget(interval_);
    row->addWidget(serial_);
    row->addWidget(trendButton_);
    row->addStretch();
    row->addWidget(lastStatus_);
    row->addStretch();
    row->addWidget(close);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(interval_, &QPushButton::clicked, this, &CTARNDlg::OnSettingMonitorInterval);
    connect(serial_, &QPushButton::clicked, this, &CTARNDlg::OnConfirmingSerialFirmware);
    connect(trendButton_, &QPushButton::clicked, this, &CTARNDlg::OnTrend);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(panel_, &CTARNWnd::titleChanged, this, &QWidget::setWindowTitle);
    connect(panel_, &CTARNWnd::lastGoodStatusChanged, lastStatus_, &QLabel::setText);
    connect(panel_, &CTARNWnd::closeRequested, this, &QDialog::reject, Qt::QueuedConnection);
}

void CTARNDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    panel_->start();
}

void CTARNDlg::OnSettingMonitorInterval() {
    auto* dialog = new CSetMonitorTimeDlg(panel_->monitorInterval(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        panel_->setMonitorInterval(dialog->interval());
        panel_->SaveMonitorInterval();
    });
    dialog->open();
}

void CTARNDlg::OnConfirmingSerialFirmware() {
    auto* dialog = new CTARNConfirmDlg(panel_->engine(), prompter_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // A lost link ends the dialog once its failure has been told (from the event loop).
    connect(panel_, &CTARNWnd::serialFirmwareCloseRequested, dialog, &QDialog::reject, Qt::QueuedConnection);
    connect(dialog, &QDialog::finished, this, [this] { panel_->panel().endSerialFirmware(); });
    panel_->panel().beginSerialFirmware(dialog->chain());
    dialog->run();
}

void CTARNDlg::OnTrend() {
    if (!trend_) {
        trend_ = new CTrendDlg(panel_->panel().history(), prompter_, this);
        // The chart follows while it shows; a hidden one catches up when it shows again.
        connect(panel_, &CTARNWnd::historyGrew, trend_, [this] {
            if (trend_->isVisible()) trend_->takeNewSamples();
        });
    }
    trend_->takeNewSamples();
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

void CTARNDlg::done(int result) {
    panel_->Disconnect();
    if (trend_) trend_->close();
    QDialog::done(result);
}

void CTARNDlg::keyPressEvent(QKeyEvent* event) {
    // Enter does not close the monitor; Escape does, as "Close".
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tarn
