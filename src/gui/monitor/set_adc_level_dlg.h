// CSetADCLevelDlg, "Setting ADC port ": the device's ADC reference and, for one ADC port, level or
// switch operation with its switch level (AdcPortChain).
#pragma once

#include "core/monitor/adc_port_chain.h"
#include "gui/monitor/port_dialog.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace tarn {

class CSetADCLevelDlg : public PortDialog {
    Q_OBJECT
public:
    CSetADCLevelDlg(IoRequester& io, Prompter& prompter, QWidget* parent = nullptr);

    PortDialogChain& chain() override { return chain_; }
    AdcPortChain& adcChain() { return chain_; }
    QComboBox* referenceList() const { return reference_; }
    QRadioButton* levelButton() const { return level_; }
    QRadioButton* switchButton() const { return switch_; }
    QLineEdit* levelEdit() const { return levelEdit_; }

protected:
    void showForm() override;

private:
    AdcPortChain chain_;
    QComboBox* reference_;
    QRadioButton* level_;
    QRadioButton* switch_;
    QLineEdit* levelEdit_;
};

}  // namespace tarn
