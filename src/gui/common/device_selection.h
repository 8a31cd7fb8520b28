// The devices the operator has selected, as the parameter view reads them and puts them back after
// a question. The device list (CLeftView) is where they are chosen; the view knows only this.
#pragma once

#include <vector>

#include "core/discovery/device_entry.h"

namespace tarn {

class DeviceSelection {
public:
    virtual ~DeviceSelection() = default;
    virtual std::vector<DeviceEntry> selectedDevices() const = 0;
    virtual int selectedCount() const = 0;
    virtual void selectDevices(const std::vector<DeviceEntry>& devices) = 0;
};

}  // namespace tarn
