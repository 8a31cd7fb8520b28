// The input port dialog's chains: read whether the port is enabled when it opens; on "Setting",
// write the enable flag in setting mode and return the device to run mode.
//
//   read:  ReadEnableStatus
//   write: ChangeSettingMode -> WriteEnableStatus -> ChangeRunMode
#pragma once

#include "core/monitor/port_dialog_chain.h"

namespace tarn {

struct InputPortForm {
    int enableChoice = 0;  // "Enable" 0, "Disable" 1

    bool operator==(const InputPortForm&) const = default;
};

class InputPortChain : public PortDialogChain {
public:
    using PortDialogChain::PortDialogChain;

    PortKind kind() const override { return PortKind::Input; }
    void open(int port) override;
    void onSetting() override;

    InputPortForm& form() { return form_; }
    const InputPortForm& form() const { return form_; }

private:
    void write();
    void step(int index, int result) override;

    InputPortForm form_;
    bool enable_ = true;  // what the operator confirmed
};

}  // namespace tarn
