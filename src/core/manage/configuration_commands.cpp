#include "core/manage/configuration_commands.h"

#include "core/discovery/selection_identity.h"
#include "core/params/configuration_file.h"

namespace tarn {

ConfigurationHeader configurationHeader(const std::vector<DeviceEntry>& selected) {
    const SelectionIdentity id = commonIdentity(selected);
    return {static_cast<int>(selected.size()), id.productId, id.version};
}

bool saveConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected, const ParameterTable& table,
                       Prompter& prompter) {
    return SaveConfiguration(path, configurationHeader(selected), table.configurationRows(), prompter);
}

bool loadConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected, ParameterTable& table,
                       Prompter& prompter) {
    std::vector<ConfigurationRow> rows = table.configurationRows();
    if (!LoadConfiguration(path, configurationHeader(selected), rows, prompter)) return false;
    table.applyConfigurationRows(rows);
    return true;
}

}  // namespace tarn
