// A site table: the values that differ from device to device (address, name, location...) in one
// CSV file, one line per device, so that a site is edited in a spreadsheet and applied back.
//
//   MAC,Device name,IP address,Location,3.0.5
//   02:00:00:00:17:61,Pump-1,10.0.0.11,Roof,
//   02:00:00:00:17:62,Pump-2,10.0.0.12,"Yard, north",502
//
// The first column holds the devices' MACs (header "MAC"); every other column is one row of the
// parameter list, named as `tarnctl params set` names it: the parameter name, or the id when the
// name is not one row. A blank cell leaves that row of that device alone. The file is UTF-8 (CRLF
// line ends are welcome); the cells become the devices' Latin-1 texts. A file that starts with a
// UTF-8 byte order mark is UTF-8 for sure, and a byte that is not is an error at its line and
// column; a file without the mark that is no UTF-8 is read as Latin-1 (the caller says so).
//
// A spreadsheet runs a cell that starts with "=", "+", "-", "@", a tab or a CR as a formula, so the
// writer puts a "'" before such a cell, and the reader takes that one "'" away again: an exported
// table applies back unchanged. Here only the file's own structure is checked; site_check.h checks
// the cells against the devices.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn {

inline constexpr std::string_view kSiteMacColumn = "MAC";

// A MAC as the probe shows it ("00:1A:2B:3C:4D:5E") from either case and ':' or '-', or nothing.
std::optional<std::string> siteMac(std::string text);

struct SiteDevice {
    int line = 0;                    // in the file (from 1); 0 for a line not read from one
    std::string mac;                 // "00:1A:2B:3C:4D:5E"
    std::vector<std::string> cells;  // one per column; "" leaves the row alone
};

struct SiteTable {
    std::vector<std::string> columns;  // row names or ids, after the MAC column
    std::vector<SiteDevice> devices;
    // Each listed MAC and the index of its first line, to find the lines of many devices (a table of
    // 600,000 lines) without a scan each.
    std::unordered_map<std::string, std::size_t> deviceIndexes() const;
};

// A fault of the table: where (file line and column, both from 1; column 0 for the whole line) and
// what is wrong.
struct SiteProblem {
    int line = 0;
    int column = 0;
    std::string text;
};
// "line 3, column 4 (IP address): 10.0.0.300: four numbers 0..255", one line per problem.
std::string siteProblemsText(const SiteTable& table, const std::vector<SiteProblem>& problems);

struct SiteRead {
    SiteTable table;
    std::vector<SiteProblem> problems;  // none: the table can be checked against the devices
    bool readAsLatin1 = false;          // no byte order mark, and not UTF-8: read as Latin-1
};
inline constexpr const char* kSiteLatin1Notice =
    "the table is not UTF-8 and has no UTF-8 byte order mark: it was read as Latin-1";

// The file's structure: a header that starts with the MAC column and names no column twice, one
// line per device with a MAC (either case, ':' or '-') listed once, no more cells than columns
// (missing cells at the end are blank). Lines whose cells are all empty are skipped.
SiteRead parseSiteTable(std::string_view text);
// The file text: UTF-8, CRLF line ends, header first.
std::string formatSiteTable(const SiteTable& table);

// The fill helper: a column of the given devices (in that order) filled with sequential addresses
// ("10.0.0.11" then every `step` further) or with a name pattern whose "{n}" counts up from `first`.
struct SiteFill {
    enum class Kind { Addresses, Names };
    Kind kind = Kind::Names;
    std::string start;  // the first address, or the pattern ("Pump-{n}")
    long long step = 1;
    long long first = 1;
};
// What keeps the fill from being made (nothing filled then), or nothing.
std::optional<std::string> fillSiteColumn(SiteTable& table, int column, const SiteFill& fill,
                                          const std::vector<std::size_t>& devices);

}  // namespace tarn
