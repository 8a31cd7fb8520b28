// CSetDelayPulseDlg, "Setting Output port": enable, macro, timed behaviour and power stoppage
// recovery of one output port. The chain (OutputPortChain) reads and writes them.
#pragma once

#include "core/monitor/output_port_chain.h"
#include "gui/monitor/port_dialog.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tarn {

class CSetDelayPulseDlg : public PortDialog {
    Q_OBJECT
public:
    CSetDelayPulseDlg(IoRequester& io, Prompter& prompter, QWidget* parent = nullptr);

    PortDialogChain& chain() override { return chain_; }
    OutputPortChain& outputChain() { return chain_; }

    QRadioButton* portEnable() const { return enable_; }
    QCheckBox* useMacro() const { return useMacro_; }
    QLineEdit* macroEdit() const { return macro_; }
    QCheckBox* useDelayPulse() const { return useDelayPulse_; }
    QRadioButton* modeButton(DelayPulseMode mode) const { return modes_[static_cast<int>(mode)]; }
    // Delay on, delay off, pulse on, pulse off.
    QLineEdit* timeEdit(int k) const { return times_[k]; }

protected:
    void showForm() override;

private:
    void onMacroEdited(const QString& text);

    OutputPortChain chain_;
    QRadioButton* enable_;
    QRadioButton* disable_;
    QCheckBox* useMacro_;
    QLineEdit* macro_;
    QCheckBox* useDelayPulse_;
    QButtonGroup* modeGroup_;
    QRadioButton* modes_[3];
    QLineEdit* times_[4];
    QRadioButton* powerEnable_;
    QRadioButton* powerDisable_;
};

}  // namespace tarn
