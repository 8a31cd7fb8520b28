// The ADC port dialog's chains: read the device's reference and the port's mode and switch level
// when it opens; on "Setting", write them in setting mode and return the device to run mode.
//
//   read:  ReadEnableStatus -> ReadAdcLevel    (a failed ReadEnableStatus ends the read there)
//   write "Level":  ChangeSettingMode -> WriteEnableStatus -> ChangeRunMode
//   write "Switch": ChangeSettingMode -> WriteAdcLevel -> WriteEnableStatus -> ChangeRunMode
//
// The reference is one setting shared by the four ADC ports; every write sends the one the list
// shows (or, when the device's reference names no list item, the reference as it was read).
#pragma once

#include <string>

#include "core/monitor/adc_level.h"
#include "core/monitor/port_dialog_chain.h"

namespace tarn {

struct AdcPortForm {
    int referenceIndex = 0;  // the list item shown; -1 when none
    int modeChoice = 0;      // "Level" 0, "Switch" 1
    std::string level;       // the level edit

    bool operator==(const AdcPortForm&) const = default;
};

class AdcPortChain : public PortDialogChain {
public:
    using PortDialogChain::PortDialogChain;

    PortKind kind() const override { return PortKind::Adc; }
    void open(int port) override;
    void onSetting() override;

    AdcPortForm& form() { return form_; }
    const AdcPortForm& form() const { return form_; }

private:
    void write();
    void step(int index, int result) override;
    void showEnables();

    AdcPortForm form_;
    bool toSwitch_ = false;  // what the operator confirmed
    std::string levelText_;
    char reference_ = '0';
};

}  // namespace tarn
