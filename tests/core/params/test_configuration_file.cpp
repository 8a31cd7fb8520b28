// .CNF files: the text format, the header check, which rows a load changes and marks, and saves
// that never leave a half-written or emptied file.
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/common/text.h"
#include "core/params/configuration_file.h"
#include "support/file_size_limit.h"
#include "support/report_texts.h"
#include "support/test_paths.h"

namespace tarn {
namespace {

const ConfigurationHeader kSelection{2, "74", "1.2"};

std::vector<ConfigurationRow> sampleRows() {
    return {{"Device name", "Hall 2 east", AccessMode::ReadWrite, false},
            {"Serial number", "12345", AccessMode::ReadOnly, false},
            {"", "", AccessMode::Hidden, false},
            {"Location", "", AccessMode::ReadWrite, false},
            {"IP mode", "DHCP", AccessMode::ReadWrite, false}};
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ConfigurationFile, WritesTheFormatAndReadsItBack) {
    const std::string text = formatConfiguration(kSelection, sampleRows());
    // The hidden row is skipped (its parameter cell is empty) but later rows keep their list position.
    EXPECT_EQ(text,
              "2 \t 74 \t 1.2 \n"
              "[0]\t Hall_2_east\n"
              "[1]\t 12345\n"
              "[3]\t <none>\n"
              "[4]\t DHCP\n");
    const ParsedConfiguration parsed = parseConfiguration(text);
    ASSERT_TRUE(parsed.headerRead);
    EXPECT_EQ(parsed.header.deviceCount, 2);
    EXPECT_EQ(parsed.header.productId, "74");
    EXPECT_EQ(parsed.header.version, "1.2");
    ASSERT_EQ(parsed.entries.size(), 4u);
    EXPECT_EQ(parsed.entries[2].row, 3);

    // Saved values come back as shown; nothing changed, so nothing is marked.
    std::vector<ConfigurationRow> rows = sampleRows();
    const StepResult applied = applyConfiguration(parsed, kSelection, rows);
    ASSERT_TRUE(applied);
    EXPECT_TRUE(applied.reports.empty());
    EXPECT_EQ(rows[0].value, "Hall 2 east");
    for (const auto& row : rows) EXPECT_FALSE(row.modified);

    // Tabs and line ends inside a value cannot split its token.
    std::vector<ConfigurationRow> tabbed{{"Location", "a\tb\nc", AccessMode::ReadWrite, false},
                                         {"Next", "x", AccessMode::ReadWrite, false}};
    EXPECT_EQ(parseConfiguration(formatConfiguration(kSelection, tabbed)).entries.size(), 2u);
}

TEST(ConfigurationFile, WindowsLineEndsReadLikeUnixOnes) {
    const std::string unixText = formatConfiguration(kSelection, sampleRows());
    const ParsedConfiguration expected = parseConfiguration(unixText);
    const ParsedConfiguration crlf = parseConfiguration(replaceAll(unixText, "\n", "\r\n"));
    ASSERT_TRUE(crlf.headerRead);
    EXPECT_EQ(crlf.header.deviceCount, 2);
    EXPECT_EQ(crlf.header.productId, "74");
    EXPECT_EQ(crlf.header.version, "1.2");  // no "\r" left on the last header token
    ASSERT_EQ(crlf.entries.size(), expected.entries.size());
    for (std::size_t i = 0; i < expected.entries.size(); ++i) {
        EXPECT_EQ(crlf.entries[i].row, expected.entries[i].row);
        EXPECT_EQ(crlf.entries[i].token, expected.entries[i].token);
    }
    std::vector<ConfigurationRow> rows = sampleRows();
    ASSERT_TRUE(applyConfiguration(crlf, kSelection, rows));
    for (const auto& row : rows) EXPECT_FALSE(row.modified) << row.parameter;
}

TEST(ConfigurationFile, LoadChangesOnlyWritableRowsAndMarksRealChanges) {
    const std::string file =
        "1 \t 74 \t 1.2 \n"
        "[0]\t Hall_3\n"                          // read/write, different: changed and marked
        "[1]\t 99999\n"                           // read-only: kept
        "[2]\t <none>\n"                          // <none> empties whatever the access mode
        "[4]\t DHCP\n"                            // same text: not marked
        "[-1]\t x\n[5]\t y\n[99999999999]\t z\n"  // not rows of the list
        "[1]\t <none>\n";
    std::vector<ConfigurationRow> rows = sampleRows();
    rows[2].value = "hidden value";
    ASSERT_TRUE(applyConfiguration(parseConfiguration(file), kSelection, rows));
    EXPECT_EQ(rows[0].value, "Hall 3");
    EXPECT_TRUE(rows[0].modified);
    EXPECT_EQ(rows[1].value, "");  // emptied by the second entry for row 1
    EXPECT_FALSE(rows[1].modified);
    EXPECT_EQ(rows[2].value, "");
    EXPECT_EQ(rows[3].value, "");
    EXPECT_FALSE(rows[3].modified);
    EXPECT_EQ(rows[4].value, "DHCP");
    EXPECT_FALSE(rows[4].modified);
}

// Any text a text row holds comes back exactly from the file (a "_" and a blank told apart, "<none>",
// tabs, "%"), and a load into rows that hold the saved values marks nothing: a restore of a device's
// own backup sends nothing. A file without the exact texts (as older programs write it) never turns
// a value the row holds into the other reading either.
TEST(ConfigurationFile, PropertyTextsComeBackExactlyAndTheirOwnRestoreMarksNothing) {
    std::mt19937 rng(20);
    const std::vector<std::string> pieces{"a", "_", " ", "\t", "%", "<", ">", "none", "<none>", "\xE9", "-", "%41"};
    auto draw = [&] {
        std::string text;
        for (std::size_t n = rng() % 6; n > 0; --n) text += pieces[rng() % pieces.size()];
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        std::vector<ConfigurationRow> saved;
        for (int r = 0; r < 4; ++r)
            saved.push_back({"Text " + std::to_string(r), draw(), AccessMode::ReadWrite, false, true});
        const std::string text = formatConfiguration(kSelection, saved);
        const ParsedConfiguration file = parseConfiguration(text);
        ASSERT_TRUE(file.damage.empty()) << file.damage << "\n" << text;

        std::vector<ConfigurationRow> other = saved, same = saved, older = saved;
        for (auto& row : other) row.value = "other";
        ASSERT_TRUE(applyConfiguration(file, kSelection, other));
        ASSERT_TRUE(applyConfiguration(file, kSelection, same));
        const ParsedConfiguration valueLinesOnly = parseConfiguration(text.substr(0, text.find("<exact>")));
        ASSERT_TRUE(applyConfiguration(valueLinesOnly, kSelection, older));
        for (std::size_t r = 0; r < saved.size(); ++r) {
            EXPECT_EQ(other[r].value, saved[r].value) << text;
            EXPECT_EQ(other[r].modified, saved[r].value != "other");
            EXPECT_FALSE(same[r].modified) << text;
            EXPECT_FALSE(older[r].modified) << text;
            EXPECT_EQ(older[r].value, saved[r].value);
        }
    }
}

// Anything that is not a value line, also in the middle, refuses the whole file: nothing before it
// is applied, and what follows is not silently dropped.
TEST(ConfigurationFile, ADamagedFileIsRefusedWhole) {
    const std::string head = "1 \t 74 \t 1.2 \n[0]\t Hall_9\n";
    const std::pair<std::string, std::string> cases[] = {
        {"garbage\n[4]\t Static\n", "line 3 is not a value line"},
        {"[4]\t Static\n[x]\t 1\n", "line 4 is not a value line"},
        {"<exact>\n[0]\t bad%G1\n", "line 4 holds no exact text"},
        {"<exact>\n[0]\t Hall_9\n<exact>\n", "line 5 is not a value line"},
        // An exact line that its value line cannot stand for, or with no value line at all.
        {"<exact>\n[0]\t Hello\n", "line 4 does not match the value line of row 0"},
        {"<exact>\n[3]\t <none>\n", "line 4 does not match the value line of row 3"},
        {"[4]\t Static", "line 3, the last, has no line end"}};
    for (const auto& [tail, why] : cases) {
        std::vector<ConfigurationRow> rows = sampleRows();
        const StepResult refused = applyConfiguration(parseConfiguration(head + tail), kSelection, rows);
        EXPECT_FALSE(refused) << tail;
        EXPECT_EQ(rows[0].value, "Hall 2 east");
        EXPECT_FALSE(rows[0].modified);
        EXPECT_EQ(test::reportTexts(refused),
                  std::vector<std::string>{"The file is damaged: " + why + ". Nothing was loaded from it."});
    }
}

// "<none>" on a value line, in a file of any age, empties the cell unmarked (a set sends nothing
// for it); only an exact "<none>" restores the empty text. A save writes that exact line only for
// an empty text that was read, never for a cell left empty because the devices differ.
TEST(ConfigurationFile, NoneEmptiesACellAndOnlyTheExactSectionRestoresAnEmptyText) {
    std::vector<ConfigurationRow> saved{{"Location", "", AccessMode::ReadWrite, false, true, true},
                                        {"Contact", "", AccessMode::ReadWrite, false, true, false},
                                        {"Port", "502", AccessMode::ReadWrite, false}};
    const std::string text = formatConfiguration(kSelection, saved);
    EXPECT_EQ(text, "2 \t 74 \t 1.2 \n[0]\t <none>\n[1]\t <none>\n[2]\t 502\n<exact>\n[0]\t <none>\n");

    std::vector<ConfigurationRow> held{{"Location", "Roof", AccessMode::ReadWrite, false, true},
                                       {"Contact", "Ann", AccessMode::ReadWrite, false, true},
                                       {"Port", "503", AccessMode::ReadWrite, false}};
    std::vector<ConfigurationRow> original = held;
    ASSERT_TRUE(applyConfiguration(parseConfiguration(text), kSelection, held));
    // The empty text the file holds is marked; the cell only emptied is not, and is no value now.
    EXPECT_TRUE(held[0].value.empty() && held[0].modified && held[1].value.empty() && !held[1].modified);
    // The file in the original format ("[1]\t <none>") wipes nothing; saved again, no empty text.
    ASSERT_TRUE(applyConfiguration(parseConfiguration(text.substr(0, text.find("<exact>"))), kSelection, original));
    for (const ConfigurationRow& row : original) EXPECT_EQ(row.modified, row.parameter == "Port") << row.parameter;
    EXPECT_EQ(formatConfiguration(kSelection, original).find("<exact>"), std::string::npos);
}

// A file cut at any byte is refused, or reads as exactly the lines before the cut: nothing from a
// half line is ever taken ("Caf" for "Café").
TEST(ConfigurationFile, PropertyAFileCutAtAnyByteIsRefusedOrGivesTheLinesBeforeTheCut) {
    const std::vector<ConfigurationRow> rows{{"Location", "Caf\xE9 2", AccessMode::ReadWrite, false, true},
                                             {"Name", "Pump_1", AccessMode::ReadWrite, false, true},
                                             {"Port", "502", AccessMode::ReadWrite, false},
                                             {"Contact", "", AccessMode::ReadWrite, false, true},
                                             {"Note", "a\tb", AccessMode::ReadWrite, false, true}};
    const std::string text = formatConfiguration(kSelection, rows);
    const ParsedConfiguration whole = parseConfiguration(text);
    ASSERT_TRUE(whole.damage.empty());
    int accepted = 0;
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        const ParsedConfiguration file = parseConfiguration(text.substr(0, cut));
        std::vector<ConfigurationRow> loaded = rows;
        if (!applyConfiguration(file, kSelection, loaded)) continue;
        ++accepted;
        ASSERT_TRUE(cut > 0 && text[cut - 1] == '\n') << cut;
        // The whole file's value lines before the cut; an exact text is the whole one, or not there.
        ASSERT_LE(file.entries.size(), whole.entries.size());
        for (std::size_t i = 0; i < file.entries.size(); ++i) {
            EXPECT_EQ(file.entries[i].token, whole.entries[i].token) << cut;
            EXPECT_TRUE(!file.entries[i].exact || file.entries[i].exact == whole.entries[i].exact) << cut;
        }
    }
    EXPECT_EQ(accepted, static_cast<int>(std::count(text.begin(), text.end(), '\n')) - 1);
}

TEST(ConfigurationFile, RefusesAnotherProductOrVersion) {
    for (const char* file : {"1 \t 74 \t 1.3 \n[0]\t X\n", "1 \t 074 \t 1.2 \n[0]\t X\n", "", "x 74 1.2"}) {
        std::vector<ConfigurationRow> rows = sampleRows();
        const StepResult refused = applyConfiguration(parseConfiguration(file), kSelection, rows);
        EXPECT_FALSE(refused) << file;
        ASSERT_EQ(refused.reports.size(), 1u);
        EXPECT_EQ(refused.reports[0].caption, "Error");
        EXPECT_EQ(refused.reports[0].icon, MessageIcon::Critical);
        EXPECT_EQ(refused.reports[0].text, "Saved file not match. Wrong product id & version.");
        EXPECT_EQ(rows[0].value, "Hall 2 east");
    }
}

TEST(ConfigurationFile, SaveAndLoadThroughFiles) {
    const std::string dir = test::scratchDir().toStdString();
    EXPECT_EQ(configurationSavePath(dir + "/hall"), dir + "/hall.CNF");
    EXPECT_EQ(configurationSavePath("/home/j.smith/hall"), "/home/j.smith/hall.CNF");
    EXPECT_EQ(configurationSavePath("/tmp/hall.txt"), "/tmp/hall.txt");

    const std::string path = dir + "/hall.CNF";
    ASSERT_TRUE(SaveConfiguration(path, kSelection, sampleRows()));
    EXPECT_EQ(readFile(path), formatConfiguration(kSelection, sampleRows()));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // it holds the device's own ID and password

    std::vector<ConfigurationRow> rows = sampleRows();
    rows[0].value = "changed";
    const StepResult loaded = LoadConfiguration(path, kSelection, rows);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded.reports.empty());
    EXPECT_EQ(rows[0].value, "Hall 2 east");
    EXPECT_TRUE(rows[0].modified);

    const StepResult missing = LoadConfiguration(dir + "/none.CNF", kSelection, rows);
    EXPECT_FALSE(missing);
    EXPECT_EQ(test::reportTexts(missing), std::vector<std::string>{"File Open Error"});
}

TEST(ConfigurationFile, ARefusedOrFailedSaveKeepsTheOldFile) {
    const std::string dir = test::scratchDir().toStdString();
    const std::string path = dir + "/keep.CNF";
    ASSERT_TRUE(SaveConfiguration(path, kSelection, sampleRows()));
    const std::string before = readFile(path);

    // Each refusal has its one report (a save that is done reports nothing).
    StepResult refused = SaveConfiguration(path, {0, "74", "1.2"}, {});
    refused.add(SaveConfiguration(path, {2, "ERROR", "1.2"}, {}));
    refused.add(SaveConfiguration(path, {2, "74", "ERROR"}, {}));
    EXPECT_EQ(test::reportTexts(refused),
              (std::vector<std::string>{"No Selected Device !!", "You've selected other devices.!!",
                                        "You've selected other devices.!!"}));
    EXPECT_EQ(readFile(path), before);

    // A save that breaks off half-way (a full disk): the old file stays whole, and the message says
    // that the bytes could not be written, not that the file could not be opened.
    {
        std::vector<ConfigurationRow> many(200, ConfigurationRow{"Parameter", "value", AccessMode::ReadWrite, false});
        test::FileSizeLimit limit(100);
        EXPECT_EQ(test::reportTexts(SaveConfiguration(path, {1, "74", "1.2"}, many)),
                  std::vector<std::string>{"The file could not be written (File too large). An existing file of "
                                           "that name is unchanged."});
    }
    EXPECT_EQ(readFile(path), before);
    // A file over 16 MiB is not read, and says so.
    {
        const std::string large = dir + "/large.CNF";
        std::ofstream(large) << before << std::string(16u << 20, '\n');
        std::vector<ConfigurationRow> rows = sampleRows();
        EXPECT_EQ(test::reportTexts(LoadConfiguration(large, kSelection, rows)),
                  std::vector<std::string>{"The file is larger than 16 MiB, so it is not a configuration file. "
                                           "Nothing was loaded from it."});
    }
    // A path that is a folder cannot be written, not even by root; the folder stays as it was.
    const std::string folder = dir + "/folder.CNF";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(
        test::reportTexts(SaveConfiguration(folder, {1, "74", "1.2"}, {{"A", "B", AccessMode::ReadWrite, false}})),
        std::vector<std::string>{"File Open Error"});
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(readFile(path), before);

    // The load checks the selection too, and changes nothing when it fails.
    std::vector<ConfigurationRow> rows = sampleRows();
    const StepResult unselected = LoadConfiguration(path, {0, "", ""}, rows);
    EXPECT_FALSE(unselected);
    EXPECT_EQ(test::reportTexts(unselected), std::vector<std::string>{"No Selected Device !!"});
}

}  // namespace
}  // namespace tarn
