// CSetMonitorTimeDlg, "Setting Monitor Interval Time (sec)": the poll interval, 2 to 10 seconds.
#pragma once

#include <QDialog>

class QComboBox;

namespace tarn {

class CSetMonitorTimeDlg : public QDialog {
    Q_OBJECT
public:
    // An interval outside the list opens with nothing selected; OK then keeps it.
    explicit CSetMonitorTimeDlg(int interval, QWidget* parent = nullptr);

    int interval() const { return interval_; }
    QComboBox* timeList() const { return list_; }
    void accept() override;

private:
    int interval_;
    QComboBox* list_;
};

}  // namespace tarn
