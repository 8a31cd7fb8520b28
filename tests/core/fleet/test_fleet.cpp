// The decisions of the fleet commands: which devices a selection takes, the backup file names, the
// fleet.json index and its lines, and what an apply sends (the file checked before any device).
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

#include "core/common/file_io.h"
#include "core/common/text.h"
#include "core/fleet/fleet_apply.h"
#include "core/fleet/fleet_index.h"
#include "core/fleet/fleet_selection.h"
#include "support/test_paths.h"

namespace tarn::test {
namespace {

DeviceEntry device(const std::string& name, const std::string& mac, const std::string& product,
                   const std::string& version, const std::string& ip = "127.0.0.1") {
    DeviceEntry d;
    d.name = name;
    d.mac = mac;
    d.productId = product;
    d.version = version;
    d.ip = ip;
    return d;
}

// The devices to work on, then "|" and the devices reported untouched.
std::string names(const FleetSelection& selection) {
    std::string out;
    for (const DeviceEntry& d : selection.devices) out += (out.empty() ? "" : " ") + d.name;
    for (const DeviceOutcome& o : selection.unreached)
        out += " | " + (o.device.name.empty() ? o.device.mac : o.device.name) + "=" + std::string(statusName(o.status));
    return out;
}

const ProductNames kProducts = [](const std::string& id) -> std::string {
    static const std::map<std::string, std::string> table{{"74", "TARN-IO"}, {"75", "TARN-AI"}};
    const auto it = table.find(id);
    return it == table.end() ? "" : it->second;
};

TEST(FleetSelection, ProductVersionNameAndMacNarrowTheProbedDevicesOrderedByMacOnce) {
    const std::vector<DeviceEntry> answered = {
        device("Pump-10", "02:00:00:00:00:0a", "74", "1.1"), device("Pump-2", "02:00:00:00:00:02", "74", "1.0"),
        device("Sensor", "02:00:00:00:00:03", "75", "1.1"),  device("Pump-1", "02:00:00:00:00:01", "74", "1.1"),
        device("Again", "02:00:00:00:00:01", "74", "1.1"),    // another device with the same MAC
        device("Mystery", "02:00:00:00:00:05", "76", "1.1"),  // prodid.ini has no name for it
    };
    // Pump-1 and Again answer with one MAC: both are listed, neither is worked on.
    const std::string twins = " | Pump-1=duplicate | Again=duplicate";
    EXPECT_EQ(names(selectFleet(answered, {}, kProducts)), "Pump-2 Sensor Mystery Pump-10" + twins);
    EXPECT_EQ(names(selectFleet(answered, {"tarn-io", "", "", {}}, kProducts)), "Pump-2 Pump-10" + twins);
    EXPECT_EQ(names(selectFleet(answered, {"76", "", "", {}}, kProducts)), "Mystery");
    EXPECT_EQ(names(selectFleet(answered, {"", "1.1", "", {}}, kProducts)), "Sensor Mystery Pump-10" + twins);
    EXPECT_EQ(names(selectFleet(answered, {"", "01.01", "", {}}, kProducts)), "Sensor Mystery Pump-10" + twins);
    EXPECT_EQ(names(selectFleet(answered, {"TARN-IO", "1.1", "Pump-?", {}}, kProducts)), " | Pump-1=duplicate");
    EXPECT_EQ(names(selectFleet(answered, {"", "", "*-1*", {}}, kProducts)), "Pump-10 | Pump-1=duplicate");
    // Each MAC asked for gets its entry, also one that nobody answered with.
    EXPECT_EQ(names(selectFleet(answered, {"", "", "", {"02-00-00-00-00-0A", "02:00:00:00:00:03", "02:00:00:00:00:99"}},
                                kProducts)),
              "Sensor Pump-10 | 02:00:00:00:00:99=no-reply");
    EXPECT_TRUE(selectFleet(answered, {"TARN-GW", "", "", {}}, kProducts).empty());

    EXPECT_EQ(checkFleetFilter({"", "1", "", {}}), "--version must be MAJOR.MINOR, such as 1.1, not '1'");
    EXPECT_EQ(checkFleetFilter({"", "1.1x", "", {}}), "--version must be MAJOR.MINOR, such as 1.1, not '1.1x'");
    EXPECT_EQ(checkFleetFilter({"", "", "", {"02:00:00:00:00"}}),
              "--mac must be six hexadecimal pairs separated by ':' or '-', not '02:00:00:00:00'");
    EXPECT_FALSE(checkFleetFilter({"x", "10.2", "*", {"aa-bb-cc-dd-ee-ff"}}).has_value());
}

TEST(FleetSelection, GlobsMatchTheWholeName) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        {"", "", true},
        {"", "a", false},
        {"*", "", true},
        {"*", "anything", true},
        {"a*b", "ab", true},
        {"a*b", "axxb", true},
        {"a*b", "axxbc", false},
        {"a*b*c", "abxbc", true},
        {"?", "", false},
        {"??", "ab", true},
        {"Pump", "pump", false},
        {"*Roof*", "West Roof 7", true},
        {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaa", false},  // backtracking stays bounded
    };
    for (const Case& c : cases) EXPECT_EQ(matchesGlob(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
}

TEST(FleetIndex, FileNamesIndexAndLines) {
    EXPECT_EQ(backupFileName("00:11:22:aa:bB:61"), "00-11-22-AA-BB-61.CNF");

    DeviceOutcome ok{device("Pump \"1\"\xE9", "00:11:22:33:44:61", "74", "1.1", "127.0.0.11"), "Back up",
                     OutcomeStatus::Ok, "", "00-11-22-33-44-61.CNF"};
    DeviceOutcome silent{device("Tab\there", "00:11:22:33:44:62", "99", "2.0", "127.0.0.12"), "Back up",
                         OutcomeStatus::NoReply, "No reply", ""};
    DeviceOutcome gone{device("X", "00:11:22:33:44:63", "74", "1.1"), "Back up", OutcomeStatus::NoDefinitions,
                       "Can't find configuration file! \n/d/TARN-IO_1.1.dcf", ""};
    EXPECT_EQ(formatFleetIndex({ok, silent}, kProducts),
              "{\"schema\": 2, \"devices\": [\n"
              "  {\"mac\": \"00:11:22:33:44:61\", \"name\": \"Pump \\\"1\\\"\xC3\xA9\", \"address\": \"127.0.0.11\", "
              "\"product\": \"TARN-IO\", \"productId\": 74, \"version\": \"1.1\", \"status\": \"ok\", \"file\": "
              "\"00-11-22-33-44-61.CNF\", "
              "\"message\": \"\"},\n"
              "  {\"mac\": \"00:11:22:33:44:62\", \"name\": \"Tab\\u0009here\", \"address\": \"127.0.0.12\", "
              "\"product\": \"99\", \"productId\": 99, \"version\": \"2.0\", \"status\": \"no-reply\", \"file\": \"\", "
              "\"message\": \"No reply\"}\n"
              "]}\n");
    EXPECT_EQ(formatFleetIndex({}, kProducts), "{\"schema\": 2, \"devices\": []}\n");
    // A device asked for by MAC that never answered: no product id, and no "" where a number goes.
    DeviceOutcome absent{device("", "00:11:22:33:44:64", "", "", ""), "Back up", OutcomeStatus::NoReply, "No reply",
                         ""};
    EXPECT_NE(formatFleetIndex({absent}, kProducts).find("\"product\": \"\", \"productId\": null, "),
              std::string::npos);

    EXPECT_EQ(outcomeLine(silent), "00:11:22:33:44:62  127.0.0.12       Tab here          no-reply        No reply");
    EXPECT_EQ(outcomeLine(gone),
              "00:11:22:33:44:63  127.0.0.1        X                 no-definitions  Can't find configuration file!  "
              "/d/TARN-IO_1.1.dcf");

    EXPECT_TRUE(allSucceeded({ok, {ok.device, "Apply", OutcomeStatus::Skipped, "other product", ""}}));
    EXPECT_FALSE(allSucceeded({ok, silent}));
    EXPECT_TRUE(allSucceeded({}));
}

TEST(FleetIndex, IsWrittenWholeOrNotAtAll) {
    const std::string dir = scratchDir().toStdString();
    const std::string path = dir + "/fleet.json";
    ASSERT_TRUE(writeFileAtomically(path, "old", 0644));
    const DeviceOutcome ok{device("P", "00:11:22:33:44:61", "74", "1.1"), "Back up", OutcomeStatus::Ok, "", "f.CNF"};
    ASSERT_TRUE(writeFleetIndex(path, {ok}, kProducts));
    EXPECT_EQ(readWholeFile(path, 1 << 20).text, formatFleetIndex({ok}, kProducts));

    // A folder in the place of the file (as root too): nothing is written, and it says why.
    const std::string blocked = dir + "/blocked.json";
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    std::ofstream(blocked + "/inside") << "kept";
    std::string error;
    EXPECT_FALSE(writeFleetIndex(blocked, {ok}, kProducts, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readWholeFile(blocked + "/inside", 100).text, "kept");
}

class FleetApplyPlan : public ::testing::Test {
protected:
    // A .CNF of TARN-IO 1.1 with these rows (by parameter name) and values.
    std::string file(const std::map<std::string, std::string>& values, const std::string& version = "1.1") {
        ParameterTable table;
        EXPECT_TRUE(loadIo11(table));
        std::string text = "1 \t 74 \t " + version + " \n";
        for (const auto& [name, value] : values)
            text += "[" + std::to_string(table.findRow(name)) + "]\t " + value + "\n";
        const std::string path = scratchDir().toStdString() + "/plan.CNF";
        EXPECT_TRUE(writeFileAtomically(path, text, 0644));
        return path;
    }
    bool loadIo11(ParameterTable& table) {
        const bool loaded =
            store.LoadDeviceConfiguration(deviceConfigurationPath(data(), "TARN-IO", "1.1"), 74, 1, 1).loaded;
        table.setDefinitions(store.current());
        table.showGroup(0);
        return loaded;
    }
    ApplyPlan plan(const std::string& path, const std::vector<std::string>& only = {}) {
        return planApply(path, data(), only, store);
    }
    static std::string data() { return dataDir().toStdString() + "/"; }
    DefinitionStore store;
};

TEST_F(FleetApplyPlan, ChecksTheFileAndTheNamedRowsBeforeAnyDevice) {
    const ApplyPlan good = plan(file({{"Location", "Roof_7"}, {"Local port", "503"}}), {"Location", "3.1.5"});
    EXPECT_TRUE(good.usable()) << good.problem;
    EXPECT_EQ(good.header.productId, "74");
    EXPECT_EQ(good.header.version, "1.1");
    ASSERT_TRUE(good.onlyRecords.has_value());
    EXPECT_EQ(good.onlyRecords->size(), 2u);

    const ApplyPlan refused = plan(file({{"Local port", "99999"}, {"Location", "Roof"}}));
    ASSERT_EQ(refused.refused.size(), 1u);
    EXPECT_EQ(refusedValuesText(refused.refused),
              "Nothing was sent. These values do not fit their parameters:\nLocal port: at most 65535");
    // Outside --only a refused value is not sent, so it does not stop the others.
    EXPECT_TRUE(plan(file({{"Local port", "99999"}, {"Location", "Roof"}}), {"Location"}).usable());

    EXPECT_EQ(plan(file({{"Location", "Roof"}}), {"Colour"}).problem, "--only: TARN-IO 1.1 has no row 'Colour'");
    EXPECT_EQ(plan(file({{"Location", "Roof"}}), {"Serial number"}).problem, "--only: 'Serial number' is read-only");
    EXPECT_EQ(plan(file({{"Location", "Roof"}}, "7.7")).problem, "no parameter definitions for TARN-IO 7.7");
    const std::string missing = scratchDir().toStdString() + "/none.CNF";
    EXPECT_EQ(plan(missing).problem, "cannot read " + missing);
}

TEST_F(FleetApplyPlan, LimitChangesKeepsOnlyTheNamedRowsAndRestoresTheRest) {
    ParameterTable table;
    ASSERT_TRUE(loadIo11(table));
    const int location = table.findRow("Location"), port = table.findRow("Local port");
    table.setValue(location, "Yard");
    table.setValue(port, "502");
    std::vector<std::string> before;
    for (int r = 0; r < table.rowCount(); ++r) before.push_back(table.row(r).value);
    table.setValue(location, "Roof");
    table.setModified(table.row(location).record, true);
    table.setValue(port, "503");
    table.setModified(table.row(port).record, true);

    const auto changes = limitChanges(table, before, std::vector<int>{table.row(location).record}, ByteOrder::Big);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].name, "Location");
    EXPECT_EQ(changes[0].deviceValue, "Yard");
    EXPECT_EQ(changes[0].fileValue, "Roof");
    EXPECT_EQ(table.row(port).value, "502");
    EXPECT_FALSE(table.rowModified(port));
    EXPECT_TRUE(table.rowModified(location));
    EXPECT_EQ(changesSummary(changes), "1 row differs: Location");
    EXPECT_EQ(changesSummary({}), "no row differs");

    // A text that is the value the device holds, written otherwise, is no change.
    table.setValue(port, "0502");
    table.setModified(table.row(port).record, true);
    EXPECT_EQ(limitChanges(table, before, std::nullopt, ByteOrder::Big).size(), 1u);
    EXPECT_FALSE(table.rowModified(port));
    EXPECT_EQ(table.row(port).value, "502");
}

}  // namespace
}  // namespace tarn::test
