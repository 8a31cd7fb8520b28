#include "gui/monitor/set_monitor_time_dlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/monitor/monitor_interval.h"
#include "gui/controls/dialog_buttons.h"

namespace tarn {

CSetMonitorTimeDlg::CSetMonitorTimeDlg(int interval, QWidget* parent)
    : QDialog(parent), interval_(interval), list_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Setting Monitor Interval Time (sec)"));
    for (int s = kMinListedInterval; s <= kMaxListedInterval; ++s) list_->addItem(QString::number(s));
    const bool listed = interval >= kMinListedInterval && interval <= kMaxListedInterval;
    list_->setCurrentIndex(listed ? interval - kMinListedInterval : -1);

    auto* group = new QGroupBox(QStringLiteral("Select Time (sec)"), this);
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("Time :"), group));
    row->addWidget(list_, 1);
    row->addWidget(new QLabel(QStringLiteral("sec"), group));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    addOkCancelFoot(this, layout);
    fitCaption(this);
}

void CSetMonitorTimeDlg::accept() {
    if (list_->currentIndex() >= 0) interval_ = list_->currentIndex() + kMinListedInterval;
    QDialog::accept();
}

}  // namespace tarn
