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

std::optional<int> compareConfiguration(const std::string& path, const std::vector<DeviceEntry>& selected,
                                        ParameterTable& table, Prompter& prompter) {
    const DefinitionSet* set = table.definitions();
    if (!set || table.recordRowCount() == 0) {
        prompter.showMessage(kCompareCaption, "No parameters are listed. Select the devices to compare first.",
                             MessageIcon::Warning);
        return std::nullopt;
    }
    const ConfigurationHeader listed = configurationHeader(selected);
    if (listed.deviceCount == 0) {
        prompter.showMessage(kCompareCaption, kNoSelectedDevice, MessageIcon::Warning);
        return std::nullopt;
    }
    if (listed.productId == kDifferentTexts || listed.version == kDifferentTexts) {
        prompter.showMessage(kCompareCaption, kOtherDevicesSelected, MessageIcon::Warning);
        return std::nullopt;
    }
    const FileContent content = readWholeFile(path, kMaxCompareFileSize);
    if (content.status != ReadStatus::Ok) {
        prompter.showMessage(kCompareCaption, "The chosen file cannot be read.", MessageIcon::Warning);
        return std::nullopt;
    }
    const ParsedConfiguration file = parseConfiguration(content.text);
    if (!file.headerRead) {
        prompter.showMessage(kCompareCaption, "The chosen file is not a configuration file (.CNF).",
                             MessageIcon::Warning);
        return std::nullopt;
    }
    if (!file.damage.empty()) {
        prompter.showMessage(kCompareCaption, configurationDamageText(file), MessageIcon::Warning);
        return std::nullopt;
    }
    if (file.header.productId != listed.productId || file.header.version != listed.version) {
        prompter.showMessage(kCompareCaption,
                             "The file is for product " + file.header.productId + " version " + file.header.version +
                                 "; the list shows product " + listed.productId + " version " + listed.version +
                                 ". Choose a file saved from devices of the listed product and version.",
                             MessageIcon::Warning);
        return std::nullopt;
    }
    std::vector<int> rowRecords;
    for (int r = 0; r < table.recordRowCount(); ++r) rowRecords.push_back(table.row(r).record);
    table.setComparison(ConfigurationComparison(file, rowRecords, *set));
    return table.differingRowCount();
}

}  // namespace tarn
