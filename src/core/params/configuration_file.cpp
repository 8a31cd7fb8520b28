#include "core/params/configuration_file.h"

#include <algorithm>
#include <cstdint>

#include "core/common/file_io.h"
#include "core/common/text.h"
#include "core/common/token_reader.h"
#include "core/discovery/selection_identity.h"

namespace tarn {

namespace {

constexpr const char* kErrorCaption = "Error";
constexpr std::size_t kMaxConfigurationFileSize = 16u << 20;
// A file holds the device's own user ID and password in clear: its owner's only.
constexpr mode_t kOwnerOnly = 0600;

bool selectionUsable(const ConfigurationHeader& selection, Prompter& prompter) {
    if (selection.deviceCount <= 0) {
        prompter.showMessage(kErrorCaption, kNoSelectedDevice, MessageIcon::Critical);
        return false;
    }
    if (selection.productId == kDifferentTexts || selection.version == kDifferentTexts) {
        prompter.showMessage(kErrorCaption, kOtherDevicesSelected, MessageIcon::Critical);
        return false;
    }
    return true;
}

}  // namespace

// A value is one token: every blank becomes "_" (other white space too, which would otherwise
// split the token and end the reading of the file there).
std::string configurationToken(const std::string& value) {
    if (value.empty()) return std::string(kNoneToken);
    std::string token = value;
    for (char& c : token) {
        if (isBlankChar(c)) c = '_';
    }
    return token;
}

std::string configurationSavePath(const std::string& chosen) {
    const std::size_t name = chosen.find_last_of('/');
    const std::size_t dot = chosen.find('.', name == std::string::npos ? 0 : name + 1);
    return dot == std::string::npos ? chosen + ".CNF" : chosen;
}

std::string formatConfiguration(const ConfigurationHeader& header, const std::vector<ConfigurationRow>& rows) {
    std::string text = std::to_string(header.deviceCount) + " \t " + header.productId + " \t " + header.version + " \n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].parameter.empty()) continue;
        text += "[" + std::to_string(r) + "]\t " + configurationToken(rows[r].value) + "\n";
    }
    return text;
}

bool SaveConfiguration(const std::string& path, const ConfigurationHeader& selection,
                       const std::vector<ConfigurationRow>& rows, Prompter& prompter) {
    if (!selectionUsable(selection, prompter)) return false;
    if (!writeFileAtomically(path, formatConfiguration(selection, rows), kOwnerOnly)) {
        prompter.showMessage(kErrorCaption, kFileOpenError, MessageIcon::Critical);
        return false;
    }
    return true;
}

ParsedConfiguration parseConfiguration(std::string_view text) {
    ParsedConfiguration parsed;
    TokenReader reader(text);
    const auto count = reader.integer();
    if (!count) return parsed;
    parsed.header.deviceCount = static_cast<int>(std::clamp<long long>(*count, INT32_MIN, INT32_MAX));
    parsed.header.productId = std::string(reader.token());
    parsed.header.version = std::string(reader.token());
    parsed.headerRead = true;
    while (true) {
        if (!reader.literal("[")) break;
        const auto row = reader.integer();
        if (!row || !reader.literal("]")) break;
        const std::string_view token = reader.token();
        if (token.empty()) break;
        parsed.entries.push_back(ConfigurationEntry{*row, std::string(token)});
    }
    return parsed;
}

bool applyConfiguration(const ParsedConfiguration& file, const ConfigurationHeader& selection,
                        std::vector<ConfigurationRow>& rows, Prompter& prompter) {
    if (!file.headerRead || file.header.productId != selection.productId || file.header.version != selection.version) {
        prompter.showMessage(kErrorCaption, kSavedFileNotMatch, MessageIcon::Critical);
        return false;
    }
    for (const ConfigurationEntry& entry : file.entries) {
        if (entry.row < 0 || entry.row >= static_cast<long long>(rows.size())) continue;
        ConfigurationRow& row = rows[static_cast<std::size_t>(entry.row)];
        if (entry.token == kNoneToken) {
            row.value.clear();
            continue;
        }
        if (row.access != AccessMode::ReadWrite) continue;
        const std::string text = replaceAll(entry.token, "_", " ");
        if (text != row.value) row.modified = true;
        row.value = text;
    }
    return true;
}

bool LoadConfiguration(const std::string& path, const ConfigurationHeader& selection,
                       std::vector<ConfigurationRow>& rows, Prompter& prompter) {
    const FileContent file = readWholeFile(path, kMaxConfigurationFileSize);
    if (file.status != ReadStatus::Ok) {
        prompter.showMessage(kErrorCaption, kFileOpenError, MessageIcon::Critical);
        return false;
    }
    if (!selectionUsable(selection, prompter)) return false;
    return applyConfiguration(parseConfiguration(file.text), selection, rows, prompter);
}

}  // namespace tarn
