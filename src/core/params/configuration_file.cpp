#include "core/params/configuration_file.h"

#include <algorithm>
#include <cstdint>

#include "core/common/file_io.h"
#include "core/common/text.h"
#include "core/common/token_reader.h"
#include "core/discovery/selection_identity.h"

namespace tarn {

namespace {

constexpr std::size_t kMaxConfigurationFileSize = kMaxConfigurationFileBytes;
// A file holds the device's own user ID and password in clear: its owner's only.
constexpr mode_t kOwnerOnly = 0600;

StepResult selectionUsable(const ConfigurationHeader& selection) {
    if (selection.deviceCount <= 0) return StepResult::failure(kErrorCaption, kNoSelectedDevice, MessageIcon::Critical);
    if (selection.productId == kDifferentTexts || selection.version == kDifferentTexts)
        return StepResult::failure(kErrorCaption, kOtherDevicesSelected, MessageIcon::Critical);
    return {};
}

std::string valueLineText(const std::string& token) {
    return token == kNoneToken ? std::string() : replaceAll(token, "_", " ");
}

bool keptAsIs(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F && c != '%' && c != '<';
}

std::string exactToken(const std::string& text) {
    if (text.empty()) return std::string(kNoneToken);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string token;
    for (char c : text) {
        if (keptAsIs(c)) {
            token += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        token += '%';
        token += kHex[byte >> 4];
        token += kHex[byte & 0xF];
    }
    return token;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> exactText(std::string_view token) {
    if (token == kNoneToken) return std::string();
    std::string text;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (token[i] != '%') {
            text += token[i];
            continue;
        }
        if (i + 2 >= token.size()) return std::nullopt;
        const int high = hexDigit(token[i + 1]);
        const int low = hexDigit(token[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        text += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return text;
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

std::string entryText(const ConfigurationEntry& entry, const std::string& current) {
    if (entry.exact) return *entry.exact;
    if (configurationToken(current) == entry.token) return current;
    return valueLineText(entry.token);
}

bool entryEmptiesCell(const ConfigurationEntry& entry, const std::string& current) {
    return !entry.exact && entry.token == kNoneToken && configurationToken(current) != entry.token;
}

std::string configurationSavePath(const std::string& chosen) {
    const std::size_t name = chosen.find_last_of('/');
    const std::size_t dot = chosen.find('.', name == std::string::npos ? 0 : name + 1);
    return dot == std::string::npos ? chosen + ".CNF" : chosen;
}

std::string formatConfiguration(const ConfigurationHeader& header, const std::vector<ConfigurationRow>& rows) {
    std::string text = std::to_string(header.deviceCount) + " \t " + header.productId + " \t " + header.version + " \n";
    std::string exact;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].parameter.empty()) continue;
        const std::string token = configurationToken(rows[r].value);
        text += "[" + std::to_string(r) + "]\t " + token + "\n";
        // An empty text that was read is restored only through its exact line; a cell that is empty
        // because the devices differ, or was never read, is only "<none>": a load leaves it alone.
        const bool emptyText = rows[r].value.empty() && rows[r].text && rows[r].known;
        if (valueLineText(token) != rows[r].value || emptyText)
            exact += "[" + std::to_string(r) + "]\t " + exactToken(rows[r].value) + "\n";
    }
    if (!exact.empty()) text += std::string(kExactSection) + "\n" + exact;
    return text;
}

StepResult SaveConfiguration(const std::string& path, const ConfigurationHeader& selection,
                             const std::vector<ConfigurationRow>& rows, Flush flush) {
    if (StepResult usable = selectionUsable(selection); !usable) return usable;
    std::string error;
    WriteFault fault = WriteFault::None;
    if (!writeFileAtomically(path, formatConfiguration(selection, rows), kOwnerOnly, &error, flush, &fault)) {
        // A file that cannot be made is the old "File Open Error"; a full disk is another fault.
        if (fault != WriteFault::Write)
            return StepResult::failure(kErrorCaption, kFileOpenError, MessageIcon::Critical);
        const std::size_t reason = error.rfind(": ");
        return StepResult::failure(kErrorCaption,
                                   "The file could not be written (" +
                                       (reason == std::string::npos ? error : error.substr(reason + 2)) + "). " +
                                       kFileKeptText,
                                   MessageIcon::Critical);
    }
    return {};
}

std::string configurationDamageText(const ParsedConfiguration& file) {
    return "The file is damaged: " + file.damage + ". Nothing was loaded from it.";
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
    // "[" row "]" token; false (nothing consumed) when the next line is not one.
    auto entry = [&reader](long long& row, std::string_view& token) {
        const std::size_t start = reader.position();
        const auto number = reader.literal("[") ? reader.integer() : std::nullopt;
        if (number && reader.literal("]") && !(token = reader.token()).empty()) {
            row = *number;
            return true;
        }
        reader.setPosition(start);
        return false;
    };
    long long row = 0;
    std::string_view token;
    while (entry(row, token)) parsed.entries.push_back(ConfigurationEntry{row, std::string(token), std::nullopt});
    if (!reader.atEnd() && reader.peekToken() == kExactSection) {
        reader.token();
        while (entry(row, token)) {
            const std::string lineText = "line " + std::to_string(reader.line());
            std::optional<std::string> text = exactText(token);
            if (!text) {
                parsed.damage = lineText + " holds no exact text";
                return parsed;
            }
            // The exact text belongs to the row's value line (the last one, which a load applies),
            // and is one of the texts that line can stand for; anything else contradicts the file.
            auto it = std::find_if(parsed.entries.rbegin(), parsed.entries.rend(),
                                   [row](const ConfigurationEntry& e) { return e.row == row; });
            if (it == parsed.entries.rend() || it->token != configurationToken(*text)) {
                parsed.damage = lineText + " does not match the value line of row " + std::to_string(row);
                return parsed;
            }
            it->exact = std::move(text);
        }
    }
    if (!reader.atEnd()) {
        parsed.damage = "line " + std::to_string(reader.line()) + " is not a value line";
    } else if (text.back() != '\n') {
        // A file cut short: its last line may be any prefix of what was written.
        parsed.damage = "line " + std::to_string(reader.lineAt(text.size() - 1)) + ", the last, has no line end";
    }
    return parsed;
}

StepResult applyConfiguration(const ParsedConfiguration& file, const ConfigurationHeader& selection,
                              std::vector<ConfigurationRow>& rows) {
    if (file.headerRead && !file.damage.empty())
        return StepResult::failure(kErrorCaption, configurationDamageText(file), MessageIcon::Critical);
    if (!file.headerRead || file.header.productId != selection.productId || file.header.version != selection.version)
        return StepResult::failure(kErrorCaption, kSavedFileNotMatch, MessageIcon::Critical);
    for (const ConfigurationEntry& entry : file.entries) {
        if (entry.row < 0 || entry.row >= static_cast<long long>(rows.size())) continue;
        ConfigurationRow& row = rows[static_cast<std::size_t>(entry.row)];
        const std::string text = entryText(entry, row.value);
        const bool empties =
            entryEmptiesCell(entry, row.value) || (text.empty() && (!row.text || row.access != AccessMode::ReadWrite));
        if (empties) {
            // Emptied as "<none>" always emptied a cell: unmarked, and no longer the devices' value.
            row.value.clear();
            row.known = false;
            continue;
        }
        if (row.access != AccessMode::ReadWrite) continue;
        if (text != row.value) row.modified = true;
        row.value = text;
        row.known = true;
    }
    return {};
}

StepResult LoadConfiguration(const std::string& path, const ConfigurationHeader& selection,
                             std::vector<ConfigurationRow>& rows) {
    const FileContent file = readWholeFile(path, kMaxConfigurationFileSize);
    if (file.status == ReadStatus::TooLarge)
        return StepResult::failure(kErrorCaption, kConfigurationTooLargeText, MessageIcon::Critical);
    if (file.status != ReadStatus::Ok) return StepResult::failure(kErrorCaption, kFileOpenError, MessageIcon::Critical);
    if (StepResult usable = selectionUsable(selection); !usable) return usable;
    return applyConfiguration(parseConfiguration(file.text), selection, rows);
}

}  // namespace tarn
