// IsOnLocalSubnet: is an address in the subnet of any IPv4 address of an interface that is up?
#pragma once

#include <string>

namespace tarn {

bool IsOnLocalSubnet(const std::string& dottedIp);

}  // namespace tarn
