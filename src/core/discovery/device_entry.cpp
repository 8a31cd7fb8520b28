#include "core/discovery/device_entry.h"

namespace tarn {

std::string DeviceEntry::text(int index) const {
    switch (index) {
        case 0:
            return name;
        case 1:
            return ip;
        case 2:
            return mac;
        case 3:
            return productId;
        case 4:
            return version;
        case 5:
            return std::to_string(addressingKind);
        case 6:
            return foundByTypedAddress ? "Q" : "N";
        default:
            return {};
    }
}

}  // namespace tarn
