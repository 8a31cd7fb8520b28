#include "core/iolink/io_state.h"

namespace tarn {

PortStateCode portStateCodeFromChar(char c) {
    switch (c) {
        case '1':
            return PortStateCode::On;
        case '9':
            return PortStateCode::OnWithLevel;
        case '0':
            return PortStateCode::Off;
        case '3':
            return PortStateCode::DelayOn;
        case '4':
            return PortStateCode::DelayOff;
        case '2':
            return PortStateCode::Macro;
        case '5':
            return PortStateCode::Pulse;
        default:
            return PortStateCode::NoChange;
    }
}

char portStateChar(PortStateCode code) {
    switch (code) {
        case PortStateCode::On:
            return '1';
        case PortStateCode::OnWithLevel:
            return '9';
        case PortStateCode::Off:
            return '0';
        case PortStateCode::DelayOn:
            return '3';
        case PortStateCode::DelayOff:
            return '4';
        case PortStateCode::Macro:
            return '2';
        case PortStateCode::Pulse:
            return '5';
        case PortStateCode::NoChange:
            break;
    }
    return 0;
}

}  // namespace tarn
