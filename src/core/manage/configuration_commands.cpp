#include "core/manage/configuration_commands.h"

#include "core/common/file_io.h"
#include "core/discovery/selection_identity.h"
#include "core/params/configuration_file.h"

namespace tarn {

namespace {

constexpr const char* kCompareCaption = "Compare with file";
constexpr std::size_t kMaxCompareFileSize = 16u << 20;

}  // namespace

ConfigurationHeader configurationHeader(const std::vector<DeviceEntry>& selected) {
    const SelectionIdentity id = commonIdentity(selected);
    return {static_cast<int>(selected.size()), id.productId, id.version};
}

StepResult saveParameterList(const std::string& path, const std::vector<DeviceEntry>& selected,
                             const ParameterTable& table, Flush flush) {
    return SaveConfiguration(path, configurationHeader(selected), table.configurationRows(), flush);
}

StepResult loadParameterList(const std::string& path, const std::vector<DeviceEntry>& selected, ParameterTable& table) {
    std::vector<ConfigurationRow> rows = table.configurationRows();
    StepResult loaded = LoadConfiguration(path, configurationHeader(selected), rows);
    if (loaded) table.applyConfigurationRows(rows);
    return loaded;
}

StepResult compareConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected,
                                ParameterTable& table) {
    const auto refuse = [](std::string why) {
        return StepResult::failure(kCompareCaption, std::move(why), MessageIcon::Warning);
    };
    const DefinitionSet* set = table.definitions();
    if (!set || table.recordRowCount() == 0)
        return refuse("No parameters are listed. Select the devices to compare first.");
    const ConfigurationHeader listed = configurationHeader(selected);
    if (listed.deviceCount == 0) return refuse(kNoSelectedDevice);
    if (listed.productId == kDifferentTexts || listed.version == kDifferentTexts) return refuse(kOtherDevicesSelected);
    const FileContent content = readWholeFile(path, kMaxCompareFileSize);
    if (content.status != ReadStatus::Ok) return refuse("The chosen file cannot be read.");
    const ParsedConfiguration file = parseConfiguration(content.text);
    if (!file.headerRead) return refuse("The chosen file is not a configuration file (.CNF).");
    if (!file.damage.empty()) return refuse(configurationDamageText(file));
    if (file.header.productId != listed.productId || file.header.version != listed.version) {
        return refuse("The file is for product " + file.header.productId + " version " + file.header.version +
                      "; the list shows product " + listed.productId + " version " + listed.version +
                      ". Choose a file saved from devices of the listed product and version.");
    }
    std::vector<int> rowRecords;
    for (int r = 0; r < table.recordRowCount(); ++r) rowRecords.push_back(table.row(r).record);
    table.setComparison(ConfigurationComparison(file, rowRecords, *set));
    return {};
}

}  // namespace tarn
