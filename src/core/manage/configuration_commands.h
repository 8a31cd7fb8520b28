// The Save, Load and Compare commands of the .CNF files over the parameter list of the selected
// devices. They touch only the rows, their marks and the comparison, never an operation of the
// session.
#pragma once

#include <string>
#include <vector>

#include "core/common/report.h"
#include "core/discovery/device_entry.h"
#include "core/params/parameter_table.h"

namespace tarn {

// The selection's header: number of devices, common product id and version ("ERROR" when they differ).
ConfigurationHeader configurationHeader(const std::vector<DeviceEntry>& selected);

StepResult saveParameterList(const std::string& path, const std::vector<DeviceEntry>& selected,
                             const ParameterTable& table, Flush flush = Flush::Now);
// Values the file changes are written into read/write rows and marked for the next set.
StepResult loadParameterList(const std::string& path, const std::vector<DeviceEntry>& selected, ParameterTable& table);

// Compare with file: the file must be a .CNF of the listed product and version; then every row whose
// value differs from the file's is highlighted (see ConfigurationComparison) and nothing is marked.
// The table then counts the rows that differ. A refused file fails with a "Compare with file"
// report that says why; an earlier comparison stays.
StepResult compareConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected,
                                ParameterTable& table);

}  // namespace tarn
