// Site tables: the CSV codec and the table file round trip whatever the cells hold, a spreadsheet's
// file reads as written, every fault of a table is found with its line and column before anything is
// sent, the fill helper, and an exported table checks clean.
#include <gtest/gtest.h>
#include <random>

#include "core/common/csv.h"
#include "core/fleet/site_check.h"
#include "core/fleet/site_table.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

TEST(SiteTable, CsvAndTableFilesRoundTripRandomCells) {
    std::mt19937 random(2326);
    // With the characters a spreadsheet runs as a formula, and the "'" that guards them.
    const std::string alphabet = std::string("ab ,\"\r\n;x\xE9\xFF=+-@'\t") + '\0';
    const auto cell = [&](bool mayBeEmpty) {
        std::string text;
        const int length = static_cast<int>(random() % 7) + (mayBeEmpty ? 0 : 1);
        for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        return text;
    };
    for (int round = 0; round < 300; ++round) {
        const std::size_t width = random() % 5 + 1;
        std::vector<std::vector<std::string>> rows(random() % 4 + 1);
        std::string csv;
        for (auto& row : rows) {
            for (std::size_t c = 0; c < width; ++c) row.push_back(cell(true));
            csv += csvLine(row);
        }
        const CsvContent read = parseCsv(csv);
        ASSERT_TRUE(read.error.empty()) << read.error;
        ASSERT_EQ(read.records.size(), rows.size()) << csv;
        for (std::size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(read.records[r].cells, rows[r]) << csv;

        // The table file: Latin-1 cells through UTF-8 and back; column names are trimmed, MACs canonical.
        SiteTable table;
        for (std::size_t c = 0; c < width; ++c) table.columns.push_back("c" + std::to_string(c) + cell(false) + "c");
        for (std::size_t d = 0; d < rows.size(); ++d) {
            SiteDevice device{0, "02:00:00:00:00:1" + std::to_string(d), {}};
            for (std::size_t c = 0; c < width; ++c) device.cells.push_back(cell(c == 0 ? false : true));
            table.devices.push_back(device);
        }
        const SiteRead back = parseSiteTable(formatSiteTable(table));
        ASSERT_TRUE(back.problems.empty()) << siteProblemsText(back.table, back.problems);
        EXPECT_EQ(back.table.columns, table.columns);
        ASSERT_EQ(back.table.devices.size(), table.devices.size());
        for (std::size_t d = 0; d < rows.size(); ++d) EXPECT_EQ(back.table.devices[d].cells, table.devices[d].cells);
    }
}

TEST(SiteTable, ReadsASpreadsheetsFileAndRefusesBrokenOnes) {
    // A BOM, CRLF, a quoted line break, a short line, a blank line and an all-empty line.
    const SiteRead read = parseSiteTable(
        "\xEF\xBB\xBFmac , Device name,Location\r\n02-00-00-00-00-0a,\"Pump \"\"A\"\"\",\"Roof,\r\nnorth\"\r\n"
        "\r\n,,\r\n02:00:00:00:00:0b,S\xC3\xBC"
        "d\r\n");
    ASSERT_TRUE(read.problems.empty()) << siteProblemsText(read.table, read.problems);
    EXPECT_EQ(read.table.columns, (std::vector<std::string>{"Device name", "Location"}));
    ASSERT_EQ(read.table.devices.size(), 2u);
    EXPECT_EQ(read.table.devices[0].mac, "02:00:00:00:00:0A");
    EXPECT_EQ(read.table.devices[0].cells, (std::vector<std::string>{"Pump \"A\"", "Roof,\r\nnorth"}));
    EXPECT_EQ(read.table.devices[1].line, 6);
    EXPECT_EQ(read.table.devices[1].cells, (std::vector<std::string>{"S\xFC"
                                                                     "d",
                                                                     ""}));
    // Not UTF-8 and no byte order mark: the spreadsheet wrote Latin-1, and the caller is told.
    const SiteRead latin1 = parseSiteTable(
        "MAC,Location\n02:00:00:00:00:0b,S\xFC"
        "d\n");
    EXPECT_TRUE(latin1.readAsLatin1);
    EXPECT_EQ(latin1.table.devices[0].cells[0],
              "S\xFC"
              "d");
    EXPECT_FALSE(read.readAsLatin1);
    // Exported cells that a spreadsheet would run come back as they were.
    SiteTable formulas{{"Device name"}, {}};
    for (const char* name : {"=HYPERLINK(\"x\")", "+cmd|' /C calc'!A0", "@SUM(1)", "-5", "\tTab", "'=typed", "a=b"})
        formulas.devices.push_back({0, "02:00:00:00:00:01", {name}});
    const std::string exported = formatSiteTable(formulas);
    EXPECT_NE(exported.find("\r\n02:00:00:00:00:01,\"'=HYPERLINK(\"\"x\"\")\"\r\n"), std::string::npos) << exported;
    const SiteRead imported = parseSiteTable(exported);
    for (std::size_t d = 0; d < formulas.devices.size(); ++d)
        EXPECT_EQ(imported.table.devices.at(d).cells, formulas.devices[d].cells);

    const auto problems = [](const std::string& text) {
        const SiteRead r = parseSiteTable(text);
        return siteProblemsText(r.table, r.problems);
    };
    EXPECT_EQ(problems("Name,MAC\n"), "line 1, column 1 (MAC): the first column must be MAC, not 'Name'");
    EXPECT_EQ(problems("MAC,A,,A\n02:00:00:00:00:01,\"x\n"), "line 2: a quoted cell is not closed");
    EXPECT_EQ(problems("MAC,A,,A\n02:00:00:00:00:01,1,2,3,4\n02:00:00:00:00:01\nzz,\"a\"b\n"),
              "line 4: text after the closing quote of a cell");
    EXPECT_EQ(problems("MAC,A,,A\n02:00:00:00:00:01,1,2,3,4\n02-00-00-00-00-01\nzz\n"),
              "line 1, column 3: the column has no name\n"
              "line 1, column 4 (A): the column 'A' is there twice\n"
              "line 2, column 5: the line has 5 cells, the header 4\n"
              "line 3, column 1 (MAC): 02:00:00:00:00:01 is listed twice (also on line 2)\n"
              "line 4, column 1 (MAC): 'zz' is no MAC (six hexadecimal pairs separated by ':' or '-')");
    EXPECT_EQ(problems(""), "line 1: the file has no header line (MAC, then one column per parameter)");
    // With a byte order mark the file is UTF-8: a byte that is not is an error, where it is.
    EXPECT_EQ(problems("\xEF\xBB\xBFMAC,Location\n02:00:00:00:00:0b,Caf\xC3\xA9\n02:00:00:00:00:0c,Caf\xE9\n"),
              "line 3, column 2 (Location): the cell is not UTF-8, which the byte order mark at the start of the "
              "file promises");
    // A quoted cell is cut short, and escaped.
    EXPECT_EQ(problems("MAC\n" + std::string(9000000, 'x') + "\x1B[2J\n"),
              "line 2, column 1 (MAC): 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...' (9000004 "
              "characters) is no MAC (six hexadecimal pairs separated by ':' or '-')");
    EXPECT_EQ(problems("MAC\nzz\x1B[2J\n"),
              "line 2, column 1 (MAC): 'zz\\x1b[2J' is no MAC (six hexadecimal pairs separated by ':' or '-')");
}

DeviceEntry pump(int n, const std::string& ip) {
    DeviceEntry d;
    d.name = "Pump-" + std::to_string(n);
    d.mac = "02:00:00:00:00:0" + std::to_string(n);
    d.ip = ip;
    d.productId = "74";
    d.version = "1.1";
    return d;
}

TEST(SiteTable, EveryFaultOfATableIsFoundBeforeAnythingIsSent) {
    SiteDefinitions definitions(dataDir().toStdString() + "/");
    const std::vector<DeviceEntry> answered{pump(1, "127.0.0.1"), pump(2, "127.0.0.2"), pump(3, "127.0.0.3"),
                                            pump(4, "127.0.0.4"), pump(5, "127.0.0.5"), pump(5, "127.0.0.6")};
    const SiteRead read = parseSiteTable(
        "MAC,IP address,Device name,Local port,Input mode,Up time,Nonsense,3.1.5,Location\n"
        "02:00:00:00:00:01,10.0.0.1,Pump-1,70000,,,,,\n"
        "02:00:00:00:00:02,010.0.0.1,Pump-1,,Normal,,,,\n"
        "02:00:00:00:00:03,127.0.0.4,Pump-9,,,5,x,,\"much too long for the 32 bytes of a location\"\n"
        "02:00:00:00:00:07,10.0.0.1,Pump-1,1,,,,,\n"  // did not answer: not checked
        "02:00:00:00:00:05,10.0.0.1,,x,,,,,\n"        // two devices answered with its MAC: not touched
        "02:00:00:00:00:04,,Pump-4,502,,,,503,\xC5\x81\xC3\xB3\x64\xC5\xBA\n");
    ASSERT_TRUE(read.problems.empty());
    EXPECT_EQ(siteProblemsText(read.table, checkSiteTable(read.table, answered, definitions)),
              "line 2, column 4 (Local port): '70000' cannot be set: at most 65535\n"
              "line 3, column 2 (IP address): 10.0.0.1 is also the IP address of Pump-1 (02:00:00:00:00:01) on line 2\n"
              "line 3, column 3 (Device name): Pump-1 is also the device name of Pump-1 (02:00:00:00:00:01) on line 2\n"
              "line 3, column 5 (Input mode): 'Input mode' names 12 rows; give the id of the one to set: "
              "4.1.1, 4.2.1, 4.3.1, 4.4.1, 4.5.1, 4.6.1, 4.7.1, 4.8.1, 4.9.1, 4.10.1, 4.11.1, 4.12.1\n"
              "line 4, column 2 (IP address): 127.0.0.4 is the IP address of Pump-4 (02:00:00:00:00:04) now\n"
              "line 4, column 6 (Up time): '5' cannot be set: read-only\n"
              "line 4, column 7 (Nonsense): the device has no parameter 'Nonsense'\n"
              "line 4, column 9 (Location): 'much too long for the 32 bytes of a location' cannot be set: at most 32 "
              "characters\n"
              "line 7, column 8 (3.1.5): column 4 sets this row too\n"
              "line 7, column 9 (Location): '\\x1a\xF3"
              "d\\x1a' cannot be set: characters outside Latin-1 cannot be stored");
    // The job layer gets the non-blank cells of each line.
    const auto values = siteValues(read.table);
    EXPECT_EQ(values.at("02:00:00:00:00:04"),
              (std::vector<std::pair<std::string, std::string>>{{"Device name", "Pump-4"},
                                                                {"Local port", "502"},
                                                                {"3.1.5", "503"},
                                                                {"Location",
                                                                 "\x1A\xF3"
                                                                 "d\x1A"}}));
}

// The lookups by name and by MAC (hashed, for tables of 600,000 lines or 100,000 columns) answer as a
// scan of the table would: names compared exactly (case variants are other columns), each MAC in any
// of its forms, every repeat told against the first line.
TEST(SiteTable, LookupsAnswerAsAScanOfTheTableWould) {
    const SiteRead read = parseSiteTable(
        "MAC,Location,location,Location, Location ,LOCATION\n"
        "02:00:00:00:00:0a\nzz\n02-00-00-00-00-0A\n02:00:00:00:00:0b\n02:00:00:00:00:0A\n02:00:00:00:00:0B\n");
    EXPECT_EQ(siteProblemsText(read.table, read.problems),
              "line 1, column 4 (Location): the column 'Location' is there twice\n"
              "line 1, column 5 (Location): the column 'Location' is there twice\n"
              "line 3, column 1 (MAC): 'zz' is no MAC (six hexadecimal pairs separated by ':' or '-')\n"
              "line 4, column 1 (MAC): 02:00:00:00:00:0A is listed twice (also on line 2)\n"
              "line 6, column 1 (MAC): 02:00:00:00:00:0A is listed twice (also on line 2)\n"
              "line 7, column 1 (MAC): 02:00:00:00:00:0B is listed twice (also on line 5)");

    // A long table checked against devices that answered with MACs in other forms: each is found on
    // its own line, wherever that is; one that answered twice and one not listed are left alone.
    const auto mac = [](int n, const char* format) {
        char text[18];
        std::snprintf(text, sizeof text, format, n >> 8, n & 0xFF);
        return std::string(text);
    };
    std::string text = "MAC,Location\n";
    for (int n = 0; n < 3000; ++n)
        text +=
            mac(n, "02:00:00:00:%02X:%02X") + "," + std::string(n % 7 ? 3 : 40, 'x') + "\n";  // n % 7 == 0: too long
    const SiteRead big = parseSiteTable(text);
    ASSERT_TRUE(big.problems.empty()) << siteProblemsText(big.table, big.problems);
    std::vector<DeviceEntry> answered;
    for (const auto& [n, format] : std::vector<std::pair<int, const char*>>{{0, "02-00-00-00-%02x-%02x"},
                                                                            {2954, "02:00:00:00:%02x:%02x"},
                                                                            {764, "02-00-00-00-%02X-%02X"},
                                                                            {7, "02:00:00:00:%02X:%02X"},
                                                                            {7, "02:00:00:00:%02X:%02X"},
                                                                            {3003, "02:00:00:00:%02X:%02X"}}) {
        answered.push_back(pump(1, "10.1." + std::to_string(n >> 8) + "." + std::to_string(n & 0xFF)));
        answered.back().mac = mac(n, format);
        answered.back().name = "Pump-" + std::to_string(n);
    }
    SiteDefinitions definitions(dataDir().toStdString() + "/");
    EXPECT_EQ(siteProblemsText(big.table, checkSiteTable(big.table, answered, definitions)),
              "line 2, column 2 (Location): 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' cannot be set: at most 32 "
              "characters\n"
              "line 2956, column 2 (Location): 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' cannot be set: at most 32 "
              "characters");
    EXPECT_EQ(siteValues(big.table).size(), 3000u);
    // A run's outcomes, one per line: the set's, else the read's, each MAC's first in any of its forms.
    const OperationOutcomes gets{{answered[0], "Get", OutcomeStatus::Failed, "first", ""},
                                 {answered[1], "Get", OutcomeStatus::Ok, "read", ""},
                                 {pump(0, "10.1.0.0"), "Get", OutcomeStatus::Refused, "second", ""}};
    const OperationOutcomes set{{answered[1], "Set", OutcomeStatus::Failed, "set", ""}};
    const OperationOutcomes results = siteOutcomes(big.table, gets, set);
    ASSERT_EQ(results.size(), 3000u);
    EXPECT_EQ(results[0].message, "first");
    EXPECT_EQ(results[0].operation, "Set");
    EXPECT_EQ(results[2954].message, "set");
    EXPECT_EQ(results[1].status, OutcomeStatus::NoReply);
    EXPECT_EQ(results[1].device.mac, "02:00:00:00:00:01");

    // A list's rows by name or id, as a scan finds them, on every group and on a copy shown otherwise.
    const auto scan = [](const ParameterTable& t, const std::string& key) {
        std::vector<int> found;
        for (int r = 0; r < t.recordRowCount(); ++r)
            if (!t.row(r).name.empty() && t.row(r).name == key && t.rowShown(r)) found.push_back(r);
        for (int r = 0; found.empty() && r < t.recordRowCount(); ++r)
            if (t.recordOfRow(r)->id == key && t.rowShown(r)) return std::vector<int>{r};
        return found;
    };
    ParameterTable* list = definitions.list("74", "1.1");
    ASSERT_NE(list, nullptr);
    std::vector<std::string> keys{"", "Nonsense", "input mode", "4.1.1 "};
    for (int r = 0; r < list->recordRowCount(); ++r) {
        keys.push_back(list->row(r).name);
        keys.push_back(list->recordOfRow(r)->id);
    }
    ParameterTable copy = *list;
    for (const std::string& key : keys) ASSERT_EQ(list->findRows(key), scan(*list, key)) << key;
    for (int group = 1; group < 4; ++group) {
        copy.showGroup(group);
        for (const std::string& key : keys) {
            ASSERT_EQ(copy.findRows(key), scan(copy, key)) << group << " " << key;
            ASSERT_EQ(list->findRows(key), scan(*list, key)) << key;
        }
    }
}

TEST(SiteTable, FillsColumnsAndExportsATableThatChecksClean) {
    SiteDefinitions definitions(dataDir().toStdString() + "/");
    ParameterTable* list = definitions.list("74", "1.1");
    ASSERT_NE(list, nullptr);
    std::vector<DeviceEntry> answered;
    std::vector<ParameterTable> lists;
    SiteExport all({}), some({"Idle timeout", "4.2.1", "Input mode", "Colour"});
    for (int n = 1; n <= 3; ++n) {
        ParameterTable values = *list;
        values.setValue(values.findRow("Idle timeout"), "300  s");
        values.setValue(values.findRow("Device name"), "Pump-" + std::to_string(n));
        values.setValue(values.findRow("IP address"), "10.0.0." + std::to_string(n));
        values.setValue(values.findRow("Password"), "secret");
        answered.push_back(pump(n, "10.0.0." + std::to_string(n)));
        all.add(answered.back().mac, values);
        some.add(answered.back().mac, values);
        lists.push_back(values);
    }
    SiteTable table = all.table();
    EXPECT_TRUE(all.problems().empty());
    ASSERT_GE(table.columns.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(table.columns.begin(), table.columns.begin() + 3),
              (std::vector<std::string>{"Device name", "Location", "IP mode"}));
    for (const char* absent : {"User ID", "Password", "Up time", "MAC address", "Input mode"})
        EXPECT_EQ(std::count(table.columns.begin(), table.columns.end(), absent), 0) << absent;
    EXPECT_EQ(std::count(table.columns.begin(), table.columns.end(), "4.12.1"), 1);
    EXPECT_EQ(table.devices[2].cells[static_cast<std::size_t>(
                  std::find(table.columns.begin(), table.columns.end(), "Idle timeout") - table.columns.begin())],
              "300");
    EXPECT_EQ(some.problems(),
              (std::vector<std::string>{"'Input mode' names 12 rows; give the id of the one to export: 4.1.1, 4.2.1, "
                                        "4.3.1, 4.4.1, 4.5.1, 4.6.1, 4.7.1, 4.8.1, 4.9.1, 4.10.1, 4.11.1, 4.12.1",
                                        "no device has a parameter 'Colour'"}));

    // Fill the addresses from 10.0.0.250 in steps of 3 and the names, then the table applies cleanly.
    const int ip =
        static_cast<int>(std::find(table.columns.begin(), table.columns.end(), "IP address") - table.columns.begin());
    EXPECT_EQ(fillSiteColumn(table, ip, {SiteFill::Kind::Addresses, "10.0.0.250", 3, 1}, {2, 0, 1}), std::nullopt);
    EXPECT_EQ(fillSiteColumn(table, 0, {SiteFill::Kind::Names, "Pump-{n}/{n}", 1, 7}, {0, 1, 2}), std::nullopt);
    EXPECT_EQ(table.devices[2].cells[static_cast<std::size_t>(ip)], "10.0.0.250");
    EXPECT_EQ(table.devices[0].cells[static_cast<std::size_t>(ip)], "10.0.0.253");
    EXPECT_EQ(table.devices[1].cells[static_cast<std::size_t>(ip)], "10.0.1.0");
    EXPECT_EQ(table.devices[2].cells[0], "Pump-9/9");
    const SiteRead back = parseSiteTable(formatSiteTable(table));
    EXPECT_EQ(siteProblemsText(back.table, checkSiteTable(back.table, answered, definitions)), "");
    // The plan of the first device: its filled cells; "300" is the "300  s" it holds, no change.
    std::string plan;
    for (const RowChange& c : siteChanges(back.table, back.table.devices[0], lists[0], ByteOrder::Big))
        plan += c.name + ": " + c.deviceValue + " -> " + c.fileValue + "\n";
    EXPECT_EQ(plan, "Device name: Pump-1 -> Pump-7/7\nIP address: 10.0.0.1 -> 10.0.0.253\n");

    EXPECT_EQ(fillSiteColumn(table, ip, {SiteFill::Kind::Addresses, "255.255.255.254", 1, 1}, {0, 1, 2}),
              "the addresses run past 255.255.255.255 after 2 devices");
    EXPECT_EQ(fillSiteColumn(table, 0, {SiteFill::Kind::Names, "Pump", 1, 1}, {0}),
              "the pattern needs {n} where the number goes");
    EXPECT_EQ(table.devices[0].cells[0], "Pump-7/7");  // a refused fill changes nothing
}

}  // namespace
}  // namespace tarn::test
