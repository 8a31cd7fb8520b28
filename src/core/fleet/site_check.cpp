#include "core/fleet/site_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <unordered_map>

#include "core/common/file_io.h"
#include "core/common/text.h"
#include "core/manage/management_requests.h"
#include "core/params/configuration_compare.h"

namespace tarn {

namespace {

constexpr std::size_t kMaxSiteFileSize = 16u << 20;

bool blank(const std::string& cell) { return cell.find_first_not_of(" \t") == std::string::npos; }

std::string ambiguousText(const ParameterTable& list, const std::string& name, const std::vector<int>& rows,
                          const char* verb) {
    return "'" + name + "' names " + std::to_string(rows.size()) + " rows; give the id of the one to " + verb + ": " +
           list.rowIds(rows);
}

// A row's value without the unit the list shows behind it.
std::string cellText(const ParameterTable& list, int r) {
    const std::string& value = list.row(r).value;
    const std::string suffix = "  " + list.recordOfRow(r)->unit;
    if (suffix.size() > 2 && value.size() >= suffix.size() &&
        value.compare(value.size() - suffix.size(), suffix.size(), suffix) == 0)
        return value.substr(0, value.size() - suffix.size());
    return value;
}

// What a device will hold in a row that tells devices apart, and where that comes from.
struct Identity {
    std::string value;
    const DeviceEntry* device = nullptr;
    int line = 0;  // the table line that gives the value; 0: the device has it now
    int column = 0;
};

std::string deviceText(const DeviceEntry& d) {
    return (d.name.empty() ? std::string("the device") : d.name) + " (" + d.mac + ")";
}

// Two devices with one value: told on the line that gives it (the later line when both do).
void checkDistinct(std::vector<Identity> identities, const char* what, std::vector<SiteProblem>& problems) {
    std::stable_sort(identities.begin(), identities.end(), [](const Identity& a, const Identity& b) {
        return (a.line ? a.line : 1 << 30) < (b.line ? b.line : 1 << 30);
    });
    std::map<std::string, const Identity*> seen;
    for (const Identity& id : identities) {
        if (id.value.empty() || id.value == "0.0.0.0") continue;
        const auto [it, fresh] = seen.emplace(id.value, &id);
        if (fresh) continue;
        const Identity& earlier = *it->second;
        if (id.line)
            problems.push_back({id.line, id.column,
                                id.value + " is also the " + what + " of " + deviceText(*earlier.device) +
                                    (earlier.line ? " on line " + std::to_string(earlier.line) : " now")});
        else if (earlier.line)
            problems.push_back({earlier.line, earlier.column,
                                earlier.value + " is the " + what + " of " + deviceText(*id.device) + " now"});
    }
}

}  // namespace

SiteDefinitions::SiteDefinitions(std::string dataDir) : dataDir_(std::move(dataDir)) {}

ParameterTable* SiteDefinitions::list(const std::string& productId, const std::string& version, std::string* problem) {
    auto& entry = lists_[{productId, version}];
    if (!entry) {
        entry = std::make_unique<Entry>();
        if (!productsRead_) {
            // A missing or broken prodid.ini shows as the devices' missing definitions.
            products_.LoadProductTable(dataDir_ + kProductTableFileName);
            productsRead_ = true;
        }
        const int product = products_.FindProductId(productId);
        if (product < 0 || !products_.SelectProduct(product)) {
            entry->problem = "product id " + productId + " is not in prodid.ini";
        } else {
            int major = 0, minor = 0;
            std::sscanf(version.c_str(), "%d.%d", &major, &minor);
            const DcfLoadResult load =
                store_.LoadDeviceConfiguration(deviceConfigurationPath(dataDir_, products_.currentName(), version),
                                               productNumberFromId(productId), major, minor);
            if (!load.loaded) {
                entry->problem = "no parameter definitions for " + products_.currentName() + " " + version;
            } else {
                entry->set = *store_.current();
                entry->table.setDefinitions(&entry->set);
                entry->table.showGroup(0);
            }
        }
    }
    if (problem) *problem = entry->problem;
    return entry->problem.empty() ? &entry->table : nullptr;
}

std::vector<SiteProblem> checkSiteTable(const SiteTable& table, const std::vector<DeviceEntry>& answered,
                                        SiteDefinitions& definitions) {
    std::vector<SiteProblem> problems;
    std::map<std::string, int> answers;
    for (const DeviceEntry& d : answered) ++answers[siteMac(d.mac).value_or(d.mac)];
    const auto lines = table.deviceIndexes();
    std::vector<Identity> addresses, names;
    for (const DeviceEntry& d : answered) {
        Identity address{d.ip, &d, 0, 0}, name{d.name, &d, 0, 0};
        const std::string mac = siteMac(d.mac).value_or(d.mac);
        const auto line = lines.find(mac);
        ParameterTable* list =
            line != lines.end() && answers[mac] == 1 ? definitions.list(d.productId, d.version) : nullptr;
        // A device listed but not to be touched (two answers, no definitions) gets its own outcome.
        if (list) {
            const SiteDevice& row = table.devices[line->second];
            const ByteOrder order = byteOrderForProduct(productNumberFromId(d.productId));
            std::map<int, int> columnOf;  // list row -> table column (from 1)
            for (std::size_t c = 0; c < table.columns.size() && c < row.cells.size(); ++c) {
                if (blank(row.cells[c])) continue;
                const std::string& key = table.columns[c];
                const int column = static_cast<int>(c) + 2;
                const std::vector<int> rows = list->findRows(key);
                if (rows.empty()) {
                    problems.push_back({row.line, column, "the device has no parameter " + quotedForMessage(key)});
                    continue;
                }
                if (rows.size() > 1) {
                    problems.push_back({row.line, column, ambiguousText(*list, key, rows, "set")});
                    continue;
                }
                const int r = rows.front();
                if (const auto [it, fresh] = columnOf.emplace(r, column); !fresh) {
                    problems.push_back(
                        {row.line, column, "column " + std::to_string(it->second) + " sets this row too"});
                    continue;
                }
                list->setValue(r, row.cells[c]);
                list->setModified(list->row(r).record, true);
                const ParameterRecord& record = *list->recordOfRow(r);
                if (record.name == kSiteAddressRow)
                    address = {normalisedValue(record, row.cells[c], order), &d, row.line, column};
                if (record.name == kSiteNameRow)
                    name = {normalisedValue(record, row.cells[c], order), &d, row.line, column};
            }
            for (const RefusedValue& refused : checkMarkedRows(*list, order)) {
                const int column = columnOf[refused.row];
                problems.push_back(
                    {row.line, column,
                     quotedForMessage(list->row(refused.row).value) + " cannot be set: " + refused.limit});
            }
            for (const auto& [r, column] : columnOf) {
                list->setValue(r, {});
                list->setModified(list->row(r).record, false);
            }
        }
        addresses.push_back(address);
        names.push_back(name);
    }
    checkDistinct(std::move(addresses), "IP address", problems);
    checkDistinct(std::move(names), "device name", problems);
    std::stable_sort(problems.begin(), problems.end(), [](const SiteProblem& a, const SiteProblem& b) {
        return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    return problems;
}

std::map<std::string, std::vector<std::pair<std::string, std::string>>> siteValues(const SiteTable& table) {
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> values;
    for (const SiteDevice& device : table.devices) {
        auto& cells = values[device.mac];
        for (std::size_t c = 0; c < table.columns.size() && c < device.cells.size(); ++c) {
            if (!blank(device.cells[c])) cells.emplace_back(table.columns[c], device.cells[c]);
        }
    }
    return values;
}

OperationOutcomes siteOutcomes(const SiteTable& table, const OperationOutcomes& read, const OperationOutcomes& set) {
    // Each MAC's first outcome, so that a table of 600,000 lines is not searched line by line.
    const auto byMac = [](const OperationOutcomes& outcomes) {
        std::unordered_map<std::string, const DeviceOutcome*> first;
        first.reserve(outcomes.size());
        for (const DeviceOutcome& o : outcomes) first.emplace(siteMac(o.device.mac).value_or(o.device.mac), &o);
        return first;
    };
    const auto setOf = byMac(set), readOf = byMac(read);
    const auto find = [](const auto& first, const std::string& mac) -> const DeviceOutcome* {
        const auto it = first.find(mac);
        return it == first.end() ? nullptr : it->second;
    };
    OperationOutcomes out;
    for (const SiteDevice& device : table.devices) {
        if (const DeviceOutcome* o = find(setOf, device.mac)) {
            out.push_back(*o);
            continue;
        }
        const DeviceOutcome* r = find(readOf, device.mac);
        DeviceOutcome o = r ? *r : DeviceOutcome{{}, "", OutcomeStatus::NoReply, "not read", ""};
        if (!r) o.device.mac = device.mac;
        o.operation = "Set";
        if (o.status == OutcomeStatus::Ok) o.message = changesSummary({});
        out.push_back(std::move(o));
    }
    return out;
}

std::vector<RowChange> siteChanges(const SiteTable& table, const SiteDevice& device, const ParameterTable& values,
                                   ByteOrder order) {
    std::vector<RowChange> changes;
    for (std::size_t c = 0; c < table.columns.size() && c < device.cells.size(); ++c) {
        const std::string& cell = device.cells[c];
        const std::vector<int> rows = values.findRows(table.columns[c]);
        if (blank(cell) || rows.size() != 1) continue;
        const int r = rows.front();
        const ParameterRecord& record = *values.recordOfRow(r);
        const std::string& now = values.row(r).value;
        if (normalisedValue(record, now, order) == normalisedValue(record, cell, order)) continue;
        changes.push_back({r, values.rowLabel(r), now, cell});
    }
    return changes;
}

void SiteExport::add(const std::string& mac, const ParameterTable& list) {
    std::map<std::string, std::string> cells;
    if (!only_.empty()) {
        for (const std::string& column : only_) {
            const std::vector<int> rows = list.findRows(column);
            if (rows.size() == 1) {
                cells[column] = cellText(list, rows.front());
                onlyProblems_[column] = {};
            } else if (rows.size() > 1) {
                onlyProblems_[column] = ambiguousText(list, column, rows, "export");
            } else {
                onlyProblems_.emplace(column, "no device has a parameter " + quotedForMessage(column));
            }
        }
    } else {
        for (int r = 0; r < list.recordRowCount(); ++r) {
            const ParameterRecord* record = list.recordOfRow(r);
            if (!list.rowShown(r) || !list.writable(r) || isOwnUserIdRecord(record->id) ||
                isOwnPasswordRecord(record->id))
                continue;
            const std::string& name = list.row(r).name;
            const std::string column = list.findRows(name).size() == 1 ? name : record->id;
            if (met_.insert(column).second) columns_.push_back(column);
            cells[column] = cellText(list, r);
        }
    }
    devices_.emplace_back(mac, std::move(cells));
}

SiteTable SiteExport::table() const {
    SiteTable table;
    table.columns = only_.empty() ? columns_ : only_;
    for (const auto& [mac, cells] : devices_) {
        SiteDevice device;
        device.mac = mac;
        for (const std::string& column : table.columns) {
            const auto it = cells.find(column);
            device.cells.push_back(it == cells.end() ? std::string() : it->second);
        }
        table.devices.push_back(std::move(device));
    }
    return table;
}

std::vector<std::string> SiteExport::problems() const {
    std::vector<std::string> out;
    for (const std::string& column : only_) {
        const auto it = onlyProblems_.find(column);
        if (it != onlyProblems_.end() && !it->second.empty()) out.push_back(it->second);
    }
    return out;
}

void exportBackupFolder(const std::string& folder, SiteDefinitions& definitions, SiteExport& out,
                        std::vector<std::string>& problems) {
    std::error_code error;
    std::vector<std::pair<std::string, std::filesystem::path>> files;  // by MAC
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& path = entry.path();
        if (!entry.is_regular_file(error) || !equalsIgnoreCase(path.extension().string(), ".CNF")) continue;
        if (const auto mac = siteMac(path.stem().string())) files.emplace_back(*mac, path);
    }
    if (error) {
        problems.push_back("cannot read the folder " + folder + ": " + error.message());
        return;
    }
    if (files.empty()) problems.push_back(folder + " holds no backup files (<MAC>.CNF)");
    std::sort(files.begin(), files.end());
    for (const auto& [mac, path] : files) {
        const FileContent file = readWholeFile(path.string(), kMaxSiteFileSize);
        const ParsedConfiguration parsed = parseConfiguration(file.text);
        std::string problem;
        if (file.status != ReadStatus::Ok)
            problem = "cannot be read";
        else if (!parsed.headerRead || !parsed.damage.empty())
            problem = parsed.headerRead ? configurationDamageText(parsed) : "is not a configuration file";
        const ParameterTable* list =
            problem.empty() ? definitions.list(parsed.header.productId, parsed.header.version, &problem) : nullptr;
        if (!list) {
            problems.push_back(path.filename().string() + ": " + problem);
            continue;
        }
        ParameterTable values = *list;
        for (const ConfigurationEntry& entry : parsed.entries) {
            if (entry.row >= 0 && entry.row < values.recordRowCount())
                values.setValue(static_cast<int>(entry.row), entryText(entry, {}));
        }
        out.add(mac, values);
    }
}

}  // namespace tarn
