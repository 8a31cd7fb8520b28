// CSetInputDlg, "Setting Input port": enables or disables one input port (InputPortChain).
#pragma once

#include "core/monitor/input_port_chain.h"
#include "gui/monitor/port_dialog.h"

class QRadioButton;

namespace tarn {

class CSetInputDlg : public PortDialog {
    Q_OBJECT
public:
    CSetInputDlg(IoRequester& io, Prompter& prompter, QWidget* parent = nullptr);

    PortDialogChain& chain() override { return chain_; }
    InputPortChain& inputChain() { return chain_; }
    QRadioButton* enableButton() const { return enable_; }
    QRadioButton* disableButton() const { return disable_; }

protected:
    void showForm() override;

private:
    InputPortChain chain_;
    QRadioButton* enable_;
    QRadioButton* disable_;
};

}  // namespace tarn
