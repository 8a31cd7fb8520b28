// A device as a QJsonObject: the keys and values of fleet.json (tarn::deviceJsonFields), for the
// documents that tarnctl writes with QJsonDocument.
#pragma once

#include <QJsonObject>

#include "core/discovery/device_entry.h"
#include "core/fleet/fleet_selection.h"

namespace tarn {

QJsonObject deviceJson(const DeviceEntry& device, const ProductNames& productName);

}  // namespace tarn
