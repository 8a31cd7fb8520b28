// The host's network interfaces as the discovery rules see them (core/discovery/interface_broadcasts.h).
#pragma once

#include <vector>

#include "core/discovery/interface_broadcasts.h"

namespace tarn {

// Every interface with its IPv4 addresses and netmasks.
std::vector<NetworkInterfaceInfo> networkInterfaces();

}  // namespace tarn
