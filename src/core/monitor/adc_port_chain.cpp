#include "core/monitor/adc_port_chain.h"

namespace tarn {

namespace {

constexpr std::string_view kQuestion = "Do you want to set ADC port ?";
constexpr std::string_view kLevelFail = "Warning ADC Value Fail!";
constexpr std::string_view kEnableFail = "Warning! Enable Status Fail!";
constexpr std::string_view kComplete = "Complete Setting ADC port !";
constexpr std::string_view kWarning = "Warning! Setting ADC port !";

}  // namespace

void AdcPortChain::open(int port) {
    beginOpen(port);
    form_ = AdcPortForm{};
    send(IoRequests::ReadEnableStatus());
    showForm();
}

void AdcPortChain::showEnables() {
    form_.referenceIndex = adcReferenceIndex(copy_.reference);
    form_.modeChoice = copy_.adcMode[port_ - 1] != 0 ? 1 : 0;
}

void AdcPortChain::onSetting() {
    confirmWrite(kQuestion, [this] { write(); });
}

// The operator said Yes: the typed values are checked, then the chain starts.
void AdcPortChain::write() {
    toSwitch_ = form_.modeChoice != 0;
    if (toSwitch_) {
        const PortInputCheck check = checkAdcLevelInput(form_.level);
        if (!check.ok()) {
            abort(check.message);
            return;
        }
        levelText_ = check.value;
    }
    reference_ = adcReferenceToWrite(form_.referenceIndex, copy_.reference);
    startWrite();
}

void AdcPortChain::step(int index, int result) {
    const bool ok = result == kIoResultSuccess;
    const int i = port_ - 1;
    switch (index) {
        case IoCommand::ReadEnableStatus:
            if (!ok) {
                // The reference and mode shown are not the device's: "Setting" stays off until the
                // dialog is opened again.
                tell(kReadEnableStatusFailText);
                break;
            }
            refreshCopy();
            showEnables();
            send(IoRequests::ReadAdcLevel());
            break;
        case IoCommand::ReadAdcLevel:
            if (ok) {
                refreshCopy();
                if (form_.modeChoice != 0) form_.level = copy_.adcLevel[i];
            } else {
                tell(kReadEnableStatusFailText);
            }
            offerSetting();
            break;
        case IoCommand::ChangeSettingMode:
            if (!inSettingMode(result)) break;
            if (toSwitch_) {
                copy_.adcLevel[i] = levelText_;
                send(IoRequests::WriteAdcLevel(copy_));
            } else {
                copy_.adcMode[i] = 0;
                copy_.reference = reference_;
                send(IoRequests::WriteEnableStatus(copy_));
            }
            break;
        case IoCommand::WriteAdcLevel:
            if (ok) {
                refreshCopy();
                form_.level = copy_.adcLevel[i];
            } else {
                tell(kLevelFail);
                warning_ = true;
            }
            copy_.adcMode[i] = 1;
            copy_.reference = reference_;
            send(IoRequests::WriteEnableStatus(copy_));
            break;
        case IoCommand::WriteEnableStatus:
            if (ok) {
                refreshCopy();
                showEnables();
            } else {
                tell(kEnableFail);
                warning_ = true;
            }
            send(IoRequests::ChangeRunMode());
            break;
        case IoCommand::ChangeRunMode:
            endWrite(result, false, kComplete, kWarning);
            break;
        default:
            break;
    }
    showForm();
}

}  // namespace tarn
