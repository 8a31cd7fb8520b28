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

}  // namespace tarn
