#include "core/fleet/site_table.h"

#include <algorithm>
#include <unordered_set>

#include "core/common/csv.h"
#include "core/common/text.h"
#include "core/discovery/addressing.h"
#include "core/discovery/management_message.h"

namespace tarn {

namespace {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

}  // namespace

std::optional<std::string> siteMac(std::string text) {
    std::replace(text.begin(), text.end(), '-', ':');
    const auto mac = parseMacText(text);
    if (!mac) return std::nullopt;
    return formatMacText(*mac);
}

std::unordered_map<std::string, std::size_t> SiteTable::deviceIndexes() const {
    std::unordered_map<std::string, std::size_t> indexes;
    indexes.reserve(devices.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].mac.empty()) indexes.emplace(devices[i].mac, i);
    }
    return indexes;
}

std::string siteProblemsText(const SiteTable& table, const std::vector<SiteProblem>& problems) {
    std::string text;
    for (const SiteProblem& p : problems) {
        if (!text.empty()) text += '\n';
        text += "line " + std::to_string(p.line);
        if (p.column > 0) {
            text += ", column " + std::to_string(p.column);
            const std::size_t c = static_cast<std::size_t>(p.column);
            const std::string name = c == 1                         ? std::string(kSiteMacColumn)
                                     : c - 2 < table.columns.size() ? table.columns[c - 2]
                                                                    : std::string();
            if (!name.empty()) text += " (" + name + ")";
        }
        text += ": " + p.text;
    }
    return text;
}

SiteRead parseSiteTable(std::string_view text) {
    SiteRead out;
    const bool marked = text.starts_with(kUtf8ByteOrderMark);
    if (marked) text.remove_prefix(kUtf8ByteOrderMark.size());
    // Spreadsheets write UTF-8, some of them the local 8-bit set: an unmarked file that is no UTF-8
    // is read as Latin-1. The separators are ASCII, which no UTF-8 sequence holds, so the cells are
    // cut first and converted one by one.
    out.readAsLatin1 = !marked && !utf8ToLatin1(text);
    CsvContent csv = parseCsv(text);
    if (!csv.error.empty()) {
        out.problems.push_back({csv.errorLine, 0, csv.error});
        return out;
    }
    for (CsvRecord& r : csv.records) {
        for (std::size_t c = 0; c < r.cells.size(); ++c) {
            std::string& cell = r.cells[c];
            if (out.readAsLatin1) {
                cell = withoutFormulaGuard(std::move(cell));
                continue;
            }
            const std::optional<std::string> latin1 = utf8ToLatin1(cell);
            if (!latin1) {
                out.problems.push_back(
                    {r.line, static_cast<int>(c) + 1,
                     "the cell is not UTF-8, which the byte order mark at the start of the file promises"});
                continue;
            }
            cell = withoutFormulaGuard(*latin1);
        }
    }
    const auto blankLine = [](const CsvRecord& r) {
        return std::all_of(r.cells.begin(), r.cells.end(), [](const std::string& c) { return trimmed(c).empty(); });
    };
    auto record = csv.records.begin();
    while (record != csv.records.end() && blankLine(*record)) ++record;
    if (record == csv.records.end()) {
        out.problems.push_back({1, 0, "the file has no header line (MAC, then one column per parameter)"});
        return out;
    }
    const CsvRecord& header = *record++;
    // Names and MACs met so far, each with its first place: a table of 100,000 columns or 600,000
    // lines is read without comparing every one with all before it.
    std::unordered_set<std::string> names;
    names.reserve(header.cells.size());
    std::unordered_map<std::string, int> firstLineOfMac;
    firstLineOfMac.reserve(csv.records.size());
    if (!equalsIgnoreCase(trimmed(header.cells[0]), kSiteMacColumn))
        out.problems.push_back(
            {header.line, 1, "the first column must be MAC, not " + quotedForMessage(header.cells[0])});
    for (std::size_t c = 1; c < header.cells.size(); ++c) {
        std::string name = trimmed(header.cells[c]);
        const int column = static_cast<int>(c) + 1;
        if (name.empty())
            out.problems.push_back({header.line, column, "the column has no name"});
        else if (!names.insert(name).second)
            out.problems.push_back({header.line, column, "the column " + quotedForMessage(name) + " is there twice"});
        out.table.columns.push_back(std::move(name));
    }
    for (; record != csv.records.end(); ++record) {
        if (blankLine(*record)) continue;
        SiteDevice device;
        device.line = record->line;
        const std::string macText = trimmed(record->cells[0]);
        if (const auto mac = siteMac(macText)) {
            device.mac = *mac;
            if (const auto [earlier, first] = firstLineOfMac.emplace(device.mac, record->line); !first)
                out.problems.push_back(
                    {record->line, 1,
                     device.mac + " is listed twice (also on line " + std::to_string(earlier->second) + ")"});
        } else {
            out.problems.push_back(
                {record->line, 1,
                 quotedForMessage(macText) + " is no MAC (six hexadecimal pairs separated by ':' or '-')"});
        }
        if (record->cells.size() > header.cells.size())
            out.problems.push_back({record->line, static_cast<int>(header.cells.size()) + 1,
                                    "the line has " + std::to_string(record->cells.size()) + " cells, the header " +
                                        std::to_string(header.cells.size())});
        device.cells.assign(out.table.columns.size(), std::string());
        for (std::size_t c = 1; c < record->cells.size() && c <= out.table.columns.size(); ++c)
            device.cells[c - 1] = record->cells[c];
        out.table.devices.push_back(std::move(device));
    }
    return out;
}

std::string formatSiteTable(const SiteTable& table) {
    std::vector<std::string> header{std::string(kSiteMacColumn)};
    for (const std::string& column : table.columns) header.push_back(latin1ToUtf8(column));
    std::string text = csvLine(header, CsvCells::Guarded);
    for (const SiteDevice& device : table.devices) {
        std::vector<std::string> cells{device.mac};
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            cells.push_back(c < device.cells.size() ? latin1ToUtf8(device.cells[c]) : std::string());
        text += csvLine(cells, CsvCells::Guarded);
    }
    return text;
}

std::optional<std::string> fillSiteColumn(SiteTable& table, int column, const SiteFill& fill,
                                          const std::vector<std::size_t>& devices) {
    if (column < 0 || static_cast<std::size_t>(column) >= table.columns.size()) return "no such column";
    std::vector<std::string> texts;
    if (fill.kind == SiteFill::Kind::Addresses) {
        const auto start = parseIPv4(trimmed(fill.start));
        if (!start) return quotedForMessage(fill.start) + " is no IPv4 address";
        if (fill.step == 0) return "the step must not be 0";
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const long long address = static_cast<long long>(*start) + static_cast<long long>(i) * fill.step;
            if (address < 0 || address > 0xFFFFFFFFLL)
                return "the addresses run past " + std::string(fill.step > 0 ? "255.255.255.255" : "0.0.0.0") +
                       " after " + std::to_string(i) + " devices";
            texts.push_back(formatIPv4(static_cast<std::uint32_t>(address)));
        }
    } else {
        if (fill.start.find("{n}") == std::string::npos) return "the pattern needs {n} where the number goes";
        for (std::size_t i = 0; i < devices.size(); ++i)
            texts.push_back(replaceAll(fill.start, "{n}", std::to_string(fill.first + static_cast<long long>(i))));
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i] >= table.devices.size()) return "no such device";
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SiteDevice& device = table.devices[devices[i]];
        device.cells.resize(table.columns.size());
        device.cells[static_cast<std::size_t>(column)] = texts[i];
    }
    return std::nullopt;
}

}  // namespace tarn
