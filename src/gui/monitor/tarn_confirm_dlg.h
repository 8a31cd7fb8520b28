// CTARNConfirmDlg, "Confriming Serial/Firmware Version": reads and shows the device's serial number
// and firmware version (SerialFirmwareChain).
#pragma once

#include <QDialog>

#include "core/common/prompter.h"
#include "core/monitor/serial_firmware_chain.h"

class QLineEdit;

namespace tarn {

class CTARNConfirmDlg : public QDialog {
    Q_OBJECT
public:
    CTARNConfirmDlg(IoRequester& io, Prompter& prompter, QWidget* parent = nullptr);

    SerialFirmwareChain& chain() { return chain_; }
    // Sends the read and opens the dialog; returns at once.
    void run();
    void done(int result) override;

    QLineEdit* serialNumber() const { return serial_; }
    QLineEdit* firmwareVersion() const { return firmware_; }

private:
    Prompter& prompter_;
    SerialFirmwareChain chain_;
    QLineEdit* serial_;
    QLineEdit* firmware_;
};

}  // namespace tarn
