// The Save and Load commands of the .CNF files over the parameter list of the selected devices. They
// touch only the rows and their marks, never an operation of the session.
#pragma once

#include <string>
#include <vector>

#include "core/common/prompter.h"
#include "core/discovery/device_entry.h"
#include "core/params/parameter_table.h"

namespace tarn {

// The selection's header: number of devices, common product id and version ("ERROR" when they differ).
ConfigurationHeader configurationHeader(const std::vector<DeviceEntry>& selected);

bool saveConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected, const ParameterTable& table,
                       Prompter& prompter);
// Values the file changes are written into read/write rows and marked for the next set.
bool loadConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected, ParameterTable& table,
                       Prompter& prompter);

}  // namespace tarn
