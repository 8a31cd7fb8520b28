// The output port dialog's chains: read the port's enable flag, macro, timed behaviour and power
// stoppage recovery when it opens; on "Setting", write them in setting mode and return the device
// to run mode.
//
//   read:  ReadEnableStatus -> ReadMacroData -> ReadDelayPulseData -> ReadPowerStoppage
//          (a failed read is reported and the chain goes on)
//   write: ChangeSettingMode -> WriteEnableStatus -> WriteMacroData -> WriteDelayPulseData
//          -> WritePowerStoppage -> ChangeRunMode
//          (every failed write is reported, sets the warning and goes on to ChangeRunMode, so the
//          device never stays in setting mode)
#pragma once

#include <string>

#include "core/monitor/delay_pulse.h"
#include "core/monitor/port_dialog_chain.h"

namespace tarn {

// What the dialog shows; the widgets write the operator's edits straight into it.
struct OutputPortForm {
    int enableChoice = 0;  // "Port Enable" 0, "Port Disable" 1
    bool useMacro = false;
    std::string macro;
    DelayPulseFields delayPulse;
    int powerChoice = 0;  // "Enable power stoppage rehabilitation " 0, "Disable ..." 1

    bool operator==(const OutputPortForm&) const = default;
};

class OutputPortChain : public PortDialogChain {
public:
    using PortDialogChain::PortDialogChain;

    PortKind kind() const override { return PortKind::Output; }
    void open(int port) override;
    void onSetting() override;

    OutputPortForm& form() { return form_; }
    const OutputPortForm& form() const { return form_; }

    // The macro check marks the failing part of the macro edit (start, length in characters).
    std::function<void(int start, int length)> selectMacro;

private:
    void write();
    // What the operator confirmed, checked; the write steps put it into the copy.
    struct Plan {
        bool enable = true;
        bool useMacro = false;
        std::string macro;
        bool usePulse = false;
        std::string pulseText;
        bool powerRecovery = true;
    };

    void step(int index, int result) override;
    void toRunMode();
    void showMacro();

    OutputPortForm form_;
    Plan plan_;
};

}  // namespace tarn
