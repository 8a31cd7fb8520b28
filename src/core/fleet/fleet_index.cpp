#include "core/fleet/fleet_index.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

#include "core/common/file_io.h"
#include "core/common/text.h"

namespace tarn {

namespace {

// A JSON string of Latin-1 bytes.
std::string jsonString(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : latin1ToUtf8(bytes)) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A product id is a number ("74" -> 74); one that is not (a device may send anything) stays text.
// A device that did not answer has none: null, never "".
std::string productIdJson(const std::string& id) {
    if (id.empty()) return "null";
    const bool number =
        !id.empty() && id.size() <= 9 && std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
    return number ? std::to_string(std::stoi(id)) : jsonString(id);
}

}  // namespace

std::string backupFileName(const std::string& mac) { return replaceAll(toUpperAscii(mac), ":", "-") + ".CNF"; }

std::string productText(const DeviceEntry& device, const ProductNames& productName) {
    const std::string name = productName(device.productId);
    return name.empty() ? device.productId : name;
}

std::string formatFleetIndex(const OperationOutcomes& outcomes, const ProductNames& productName) {
    std::string text = "{\"schema\": " + std::to_string(kJsonSchema) + ", \"devices\": [";
    bool first = true;
    for (const DeviceOutcome& o : outcomes) {
        text += first ? "\n" : ",\n";
        first = false;
        text += "  {\"mac\": " + jsonString(toUpperAscii(o.device.mac)) + ", \"name\": " + jsonString(o.device.name) +
                ", \"address\": " + jsonString(o.device.ip) +
                ", \"product\": " + jsonString(productText(o.device, productName)) +
                ", \"productId\": " + productIdJson(o.device.productId) +
                ", \"version\": " + jsonString(o.device.version) +
                ", \"status\": " + jsonString(std::string(statusName(o.status))) + ", \"file\": " + jsonString(o.file) +
                ", \"message\": " + jsonString(o.message) + "}";
    }
    return text + (first ? "]}\n" : "\n]}\n");
}

bool writeFleetIndex(const std::string& path, const OperationOutcomes& outcomes, const ProductNames& productName,
                     std::string* error) {
    return writeFileAtomically(path, formatFleetIndex(outcomes, productName), 0644, error);
}

std::string outcomeLine(const DeviceOutcome& o) {
    char head[96];
    std::snprintf(head, sizeof head, "%-17s  %-15s  ", toUpperAscii(o.device.mac).c_str(), o.device.ip.c_str());
    std::string line = head + o.device.name;
    line.resize(std::max(line.size(), std::string(head).size() + 16), ' ');
    line += "  ";
    const std::string status(statusName(o.status));
    line += status + std::string(16 - std::min<std::size_t>(status.size(), 14), ' ');
    line += o.file.empty() ? o.message : o.file;
    if (!o.file.empty() && !o.message.empty()) line += "  " + o.message;
    // One line per device, whatever the message holds.
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

bool allSucceeded(const OperationOutcomes& outcomes) {
    return std::all_of(outcomes.begin(), outcomes.end(), [](const DeviceOutcome& o) {
        return o.status == OutcomeStatus::Ok || o.status == OutcomeStatus::Skipped;
    });
}

std::optional<std::string> prepareBackupFolder(const std::string& folder) {
    if (!makeOwnerOnlyFolders(folder)) return "The folder " + folder + " cannot be made: " + std::strerror(errno) + ".";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir || ::access(folder.c_str(), W_OK | X_OK) != 0) {
        if (dir) ::closedir(dir);
        return "The folder " + folder + " cannot be written.";
    }
    int backups = 0;
    bool index = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        index = index || name == kFleetIndexFileName;
        backups += name.size() > 4 && equalsIgnoreCase(name.substr(name.size() - 4), ".cnf") ? 1 : 0;
    }
    ::closedir(dir);
    if (!index && backups == 0) return std::nullopt;
    std::string what = index ? std::string(kFleetIndexFileName) : std::string();
    if (backups > 0)
        what += (what.empty() ? "" : ", ") + std::to_string(backups) + (backups == 1 ? " .CNF file" : " .CNF files");
    return folder + " holds an earlier backup (" + what + "). Back up into a new or empty folder: nothing was written.";
}

}  // namespace tarn
