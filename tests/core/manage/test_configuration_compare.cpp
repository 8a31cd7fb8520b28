// Compare with file: which rows differ from a .CNF file (values compared as the list shows them),
// how the comparison follows the list, and the files it refuses. Nothing is ever marked.
#include <fstream>
#include <gtest/gtest.h>

#include "core/manage/configuration_commands.h"
#include "core/params/configuration_compare.h"
#include "core/params/parameter_table.h"
#include "support/test_paths.h"

namespace tarn {
namespace {

ParameterRecord record(const std::string& name, const std::string& type, int size,
                       AccessMode access = AccessMode::ReadWrite, const std::string& unit = "") {
    ParameterRecord r;
    r.id = "1.0." + name;
    r.classLabel = "General";
    r.name = name;
    r.type = type;
    r.size = size;
    r.unit = unit;
    r.accessMode = access;
    return r;
}

// Records 0..3 are the "General" group, 4..8 the "Network" group.
DefinitionSet sampleSet() {
    DefinitionSet set;
    set.productNumber = 74;
    set.major = 1;
    set.minor = 1;
    set.records.push_back(record("Device name", "*char", 16));
    set.records.push_back(record("Serial", "unsigned long", 4, AccessMode::ReadOnly));
    ParameterRecord mode = record("Mode", "unsigned char", 1);
    mode.definedValues = {{0, "Disable"}, {1, "Enable"}};
    set.records.push_back(mode);
    set.records.push_back(record("Delay", "unsigned int", 2, AccessMode::ReadWrite, "ms"));
    set.records.push_back(record("IP address", "IP", 4));
    set.records.push_back(record("Gain", "float", 4));
    set.records.push_back(record("Secret", "*char", 8, AccessMode::Hidden));
    set.records.push_back(record("Location", "*char", 16));
    ParameterRecord link = record("Link", "FLAG", 1);
    link.enumeration = {{0, "Auto"}, {1, "10M"}, {2, "100M"}};
    set.records.push_back(link);
    set.groups = {{"All classes", 0}, {"General", 0}, {"Network", 4}, {"", 9}};
    return set;
}

const std::vector<std::string> kDeviceValues = {"Hall 2_east", "123456", "Enable", "100  ms", "10.0.0.7",
                                                "1.500000",    "",       "Roof 7", "100M"};

void fill(ParameterTable& table) {
    for (int r = 0; r < table.recordRowCount(); ++r) table.setValue(r, kDeviceValues[table.row(r).record]);
}

std::vector<int> rowRecords(const ParameterTable& table) {
    std::vector<int> out;
    for (int r = 0; r < table.recordRowCount(); ++r) out.push_back(table.row(r).record);
    return out;
}

ParsedConfiguration fileOf(const std::string& lines) { return parseConfiguration("1 \t 74 \t 1.1 \n" + lines); }

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = test::scratchDir().toStdString() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(ConfigurationCompare, ValuesAreComparedAsTheListShowsThem) {
    const DefinitionSet set = sampleSet();
    const ByteOrder order = byteOrderForProduct(74);
    // Texts that the codec shows alike are one value; the file's tip shows the list's form.
    EXPECT_EQ(normalisedValue(set.records[2], "1", order), "Enable");
    EXPECT_EQ(normalisedValue(set.records[3], "100ms", order), "100  ms");
    EXPECT_EQ(normalisedValue(set.records[4], "010.0.0.07", order), "10.0.0.7");
    EXPECT_EQ(normalisedValue(set.records[5], "1.5", order), "1.500000");
    EXPECT_EQ(normalisedValue(set.records[3], "lots", order), "lots");  // what does not encode stays

    struct Case {
        int record;
        std::string fileToken;
        bool differs;
    };
    const Case cases[] = {
        {0, "Hall_2_east", false},  // the file saved from this very value ("_" in the name)
        {0, "Hall_2_West", true},
        {1, "999", false},  // read-only: never compared
        {2, "1", false},
        {2, "Disable", true},
        {3, "100ms", false},
        {3, "101__ms", true},
        {4, "10.000.0.7", false},
        {4, "10.0.0.8", true},
        {5, "1.50", false},
        {5, "1.25", true},
        {6, "open", false},    // hidden: never compared
        {7, "<none>", false},  // a value line "<none>" only empties the cell: a load sends nothing
        {7, "<none>\n<exact>\n[7]\t <none>", true},  // the empty text, which a load would give the row
        {8, "100M", false},
        {8, "Auto", true},
    };
    ParameterTable table;
    table.setDefinitions(&set);
    table.showGroup(0);
    fill(table);
    for (const Case& c : cases) {
        const ConfigurationComparison comparison(fileOf("[" + std::to_string(c.record) + "]\t " + c.fileToken + "\n"),
                                                 rowRecords(table), set);
        EXPECT_EQ(comparison.differs(c.record, kDeviceValues[c.record]), c.differs)
            << set.records[c.record].name << " against " << c.fileToken;
        table.setComparison(comparison);
        EXPECT_EQ(table.differingRowCount(), c.differs ? 1 : 0) << c.fileToken;
    }
}

TEST(ConfigurationCompare, AFileSavedFromTheListMatchesItAndOneChangeShowsWithTheFilesValue) {
    const DefinitionSet set = sampleSet();
    ParameterTable table;
    table.setDefinitions(&set);
    table.showGroup(0);
    fill(table);
    const std::string saved = formatConfiguration({1, "74", "1.1"}, table.configurationRows());
    table.setComparison(ConfigurationComparison(parseConfiguration(saved), rowRecords(table), set));
    EXPECT_EQ(table.differingRowCount(), 0);
    for (int r = 0; r < table.rowCount(); ++r) EXPECT_FALSE(table.differingFileValue(r)) << r;

    // The device drifts: its location and IP address change. The comparison follows the values.
    table.setValue(7, "Cellar");
    table.setValue(4, "10.0.0.9");
    EXPECT_EQ(table.differingRowCount(), 2);
    EXPECT_EQ(table.differingFileValue(7), std::optional<std::string>("Roof 7"));
    EXPECT_EQ(table.differingFileValue(4), std::optional<std::string>("10.0.0.7"));
    // An empty cell (the selected devices differ, or no reply yet) differs from the file's value,
    // which the tip shows as a Load would write it: exactly, "_" and blank told apart.
    table.setValue(0, "");
    EXPECT_EQ(table.differingFileValue(0), std::optional<std::string>("Hall 2_east"));
    // Typed back as the file has it, the row is no longer highlighted.
    table.setValue(4, "10.0.0.07");
    EXPECT_FALSE(table.differingFileValue(4));
    // Nothing was marked for a set.
    for (int record = 0; record < set.recordCount(); ++record) EXPECT_FALSE(table.modified(record)) << record;

    table.clearComparison();
    EXPECT_FALSE(table.comparing());
    EXPECT_EQ(table.differingRowCount(), 0);
}

TEST(ConfigurationCompare, FileRowsAreTheListPositionsWhenComparedAndFollowTheirRecords) {
    const DefinitionSet set = sampleSet();
    ParameterTable table;
    table.setDefinitions(&set);
    table.showGroup(2);  // "Network": rows 0..4 are records 4..8
    fill(table);
    // A file saved while "Network" was shown: its row 3 is Location, not Delay.
    const ParsedConfiguration file = fileOf("[0]\t 10.0.0.7\n[3]\t Attic\n[40]\t nowhere\n[-1]\t x\n");
    table.setComparison(ConfigurationComparison(file, rowRecords(table), set));
    EXPECT_EQ(table.differingRowCount(), 1);
    EXPECT_EQ(table.differingFileValue(3), std::optional<std::string>("Attic"));

    // "All classes": the highlight stays with the Location record, now row 7.
    table.showGroup(0);
    fill(table);
    EXPECT_EQ(table.differingFileValue(7), std::optional<std::string>("Attic"));
    EXPECT_FALSE(table.differingFileValue(3));

    // The same set listed again (another device of the product) keeps the comparison; another set ends it.
    table.setDefinitions(&set);
    table.showGroup(0);
    fill(table);
    EXPECT_EQ(table.differingRowCount(), 1);
    const DefinitionSet other = sampleSet();
    table.setDefinitions(&other);
    table.showGroup(0);
    fill(table);
    EXPECT_FALSE(table.comparing());
    EXPECT_EQ(table.differingRowCount(), 0);
}

class CompareCommand : public ::testing::Test {
protected:
    void SetUp() override {
        table.setDefinitions(&set);
        table.showGroup(0);
        fill(table);
        DeviceEntry d;
        d.name = "Pump-A";
        d.mac = "02:00:00:00:01:41";
        d.productId = "74";
        d.version = "1.1";
        selected = {d};
    }
    std::optional<int> compare(const std::string& path) {
        last = compareConfiguration(path, selected, table);
        return last ? std::optional<int>(table.differingRowCount()) : std::nullopt;
    }
    std::string lastMessage() const { return last.reports.empty() ? std::string() : last.reports.back().text; }

    DefinitionSet set = sampleSet();
    ParameterTable table;
    std::vector<DeviceEntry> selected;
    StepResult last;  // of the latest comparison
};

TEST_F(CompareCommand, ComparesAFileOfTheListedProductAndVersion) {
    const std::string good = writeFile("good.CNF", "3 \t 74 \t 1.1 \n[7]\t Attic\n[2]\t Enable\n[3]\t 250__ms\n");
    EXPECT_EQ(compare(good), std::optional<int>(2));
    EXPECT_TRUE(last.reports.empty());
    EXPECT_TRUE(table.comparing());
    EXPECT_EQ(table.differingFileValue(3), std::optional<std::string>("250  ms"));
    EXPECT_FALSE(table.modified(7));
}

TEST_F(CompareCommand, RefusesOtherFilesWithAClearMessageAndKeepsTheComparisonItHad) {
    ASSERT_EQ(compare(writeFile("good.CNF", "1 \t 74 \t 1.1 \n[7]\t Attic\n")), std::optional<int>(1));

    EXPECT_FALSE(compare(writeFile("v12.CNF", "1 \t 74 \t 1.2 \n[7]\t Attic\n")));
    EXPECT_EQ(lastMessage(),
              "The file is for product 74 version 1.2; the list shows product 74 version 1.1. Choose a file saved "
              "from devices of the listed product and version.");
    EXPECT_EQ(last.reports.back().caption, "Compare with file");
    EXPECT_FALSE(compare(writeFile("p75.CNF", "1 \t 75 \t 1.1 \n")));
    EXPECT_NE(lastMessage().find("product 75 version 1.1"), std::string::npos);
    EXPECT_FALSE(compare(writeFile("junk.CNF", "hello world\n")));
    EXPECT_EQ(lastMessage(), "The chosen file is not a configuration file (.CNF).");
    EXPECT_FALSE(compare(test::scratchDir().toStdString() + "/missing.CNF"));
    EXPECT_EQ(lastMessage(), "The chosen file cannot be read.");
    EXPECT_TRUE(table.comparing());
    EXPECT_EQ(table.differingRowCount(), 1);

    DeviceEntry other = selected.front();
    other.version = "1.2";
    selected.push_back(other);
    EXPECT_FALSE(compare(writeFile("good2.CNF", "1 \t 74 \t 1.1 \n")));
    EXPECT_EQ(lastMessage(), "You've selected other devices.!!");

    table.setDefinitions(nullptr);
    EXPECT_FALSE(compare(writeFile("good3.CNF", "1 \t 74 \t 1.1 \n")));
    EXPECT_EQ(lastMessage(), "No parameters are listed. Select the devices to compare first.");
}

}  // namespace
}  // namespace tarn
