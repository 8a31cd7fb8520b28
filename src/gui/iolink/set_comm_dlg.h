// CSetCommDlg: "Setting Serial Properties", where the COM port of the I/O link is chosen. The baud
// rate, parity, data and stop bits are shown but fixed.
#pragma once

#include <QDialog>

#include "core/common/serial_settings.h"

class QComboBox;

namespace tarn {

class CSetCommDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetCommDlg(QWidget* parent = nullptr);

    void PreloadSettings(const SerialSettings& settings);
    SerialSettings ReadBackSettings() const { return settings_; }

    QComboBox* portList() const { return port_; }
    QComboBox* baudList() const { return baud_; }
    QComboBox* parityList() const { return parity_; }
    QComboBox* dataBitsList() const { return dataBits_; }
    QComboBox* stopBitsList() const { return stopBits_; }

    void accept() override;

private:
    SerialSettings settings_;
    QComboBox* port_;
    QComboBox* baud_;
    QComboBox* parity_;
    QComboBox* dataBits_;
    QComboBox* stopBits_;
};

}  // namespace tarn
