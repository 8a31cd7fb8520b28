// The .dcf grammar, instance expansion, groups and every refusal of a broken file.
#include <gtest/gtest.h>

#include "core/common/text.h"
#include "core/params/dcf_parser.h"
#include "support/dcf_text.h"

namespace tarn {
namespace {

using test::ClassLine;
using test::dcfEntry;
using test::dcfText;

std::vector<std::string> ids(const DefinitionSet& set) {
    std::vector<std::string> out;
    for (const auto& r : set.records) out.push_back(r.id);
    return out;
}

std::vector<std::string> labels(const DefinitionSet& set) {
    std::vector<std::string> out;
    for (const auto& r : set.records) out.push_back(r.classLabel);
    return out;
}

DefinitionSet parseOk(const std::string& text) {
    DcfParseResult result = parseDeviceConfiguration(text);
    EXPECT_TRUE(result.ok) << result.error;
    return result.set;
}

std::string refusal(const std::string& text) {
    const DcfParseResult result = parseDeviceConfiguration(text);
    EXPECT_FALSE(result.ok);
    return result.error;
}

TEST(DcfParser, ExpandsInstancesAndFixesTheFirstInstance) {
    const std::string body = dcfEntry("1.0.1", "IP", "Network", "IP_address", "R/W", 4) +
                             dcfEntry("1.0.2", "unsigned_long", "Network", "Up_time", "R/O", 4, "s") +
                             dcfEntry("2.0.1", "char", "Port_[inst]", "Mode") +
                             dcfEntry("2.0.2", "int", "Port_[inst]", "Delay", "R/W", 2, "ms") +
                             dcfEntry("3.0.1", "char", "Relay[inst]/A", "On");
    const DefinitionSet set = parseOk(dcfText({{1, 0, 1}, {3, 2, 3}, {1, 8, 8}}, body));
    EXPECT_EQ(ids(set), (std::vector<std::string>{"1.1.1", "1.1.2", "2.1.1", "2.1.2", "2.2.1", "2.2.2", "2.3.1",
                                                  "2.3.2", "3.1.1"}));
    EXPECT_EQ(labels(set), (std::vector<std::string>{"Network", "Network", "Port 1", "Port 1", "Port 2", "Port 2",
                                                     "Port 3", "Port 3", "Relay1/A"}));
    // Copies keep type, name, access, size and unit of their template.
    const ParameterRecord& copy = set.records[7];
    EXPECT_EQ(copy.type, "int");
    EXPECT_EQ(copy.name, "Delay");
    EXPECT_EQ(copy.size, 2);
    EXPECT_EQ(copy.unit, "ms");
    EXPECT_EQ(copy.accessMode, AccessMode::ReadWrite);
    EXPECT_EQ(set.records[1].type, "unsigned long");
    EXPECT_EQ(set.records[0].unit, "");
    EXPECT_EQ(set.records[1].accessMode, AccessMode::ReadOnly);
    // Only instance components are replaced: a piece "10" or "05" is no instance marker.
    const DefinitionSet pieces = parseOk(dcfText({{2, 0, 0}}, dcfEntry("4.0.10", "char", "X[inst]", "A")));
    EXPECT_EQ(ids(pieces), (std::vector<std::string>{"4.1.10", "4.2.10"}));
}

TEST(DcfParser, ReadsDefinedValuesEnumerationsAndTokens) {
    const std::string body =
        "1.0.1 FLAG Net IP_mode R/W 1 <none> 0\n"  // FLAG with no defined values still has its enumeration
        "===== Enumeration =====  size : 2\n[00] DHCP [01] Static_IP\n"
        "1.0.2 FLAG Net Speed R/W 2 <none> 1 =====Defined Values===== [7] Seven\n"
        "=====   Enumeration=====size:1 [5]Five\n"
        "1.0.3\tunsigned_char\tNet\tLevel\tHIDDEN\t1\t%\t2\n===== Defined Values =====\n[-1] Minus_one [200] "
        "Two_hundred\n"
        "1.0.4 *char Net <none> R/x abc <none> 0\n";
    const DefinitionSet set = parseOk(dcfText({{1, 0, 3}}, body));
    ASSERT_EQ(set.recordCount(), 4);
    const ParameterRecord& mode = set.records[0];
    EXPECT_TRUE(mode.isFlag);
    ASSERT_EQ(mode.enumeration.size(), 2u);
    EXPECT_EQ(mode.enumeration[1].key, 1);
    EXPECT_EQ(mode.enumeration[1].text, "Static IP");
    EXPECT_EQ(mode.name, "IP mode");
    ASSERT_EQ(set.records[1].definedValues.size(), 1u);
    EXPECT_EQ(set.records[1].enumeration[0].key, 5);
    const ParameterRecord& level = set.records[2];
    EXPECT_EQ(level.accessMode, AccessMode::Hidden);
    EXPECT_EQ(level.unit, "%");
    ASSERT_EQ(level.definedValues.size(), 2u);
    EXPECT_EQ(level.definedValues[0].value, -1);
    EXPECT_EQ(level.definedValues[1].text, "Two hundred");
    EXPECT_FALSE(level.isFlag);
    const ParameterRecord& text = set.records[3];
    EXPECT_EQ(text.name, "");  // <none>
    EXPECT_EQ(text.accessMode, AccessMode::None);
    EXPECT_EQ(text.size, 0);  // not a number
    EXPECT_EQ(listRowTexts(level), (std::pair<std::string, std::string>{"", ""}));
}

TEST(DcfParser, EndMarkerOrEndOfFileStopsAndDropsTheCutEntry) {
    const std::string three = dcfEntry("1.0.1", "char", "A", "One") + dcfEntry("1.0.2", "char", "A", "Two") +
                              "1.0.3 char A Three <END> ignored\n";
    DefinitionSet set = parseOk(dcfText({{1, 0, 4}}, three, false));
    EXPECT_EQ(ids(set), (std::vector<std::string>{"1.1.1", "1.1.2"}));
    EXPECT_EQ(set.groups.back().start, 2);  // end entry

    // End of file inside a defined-value block, without "<END>".
    set = parseOk(dcfText(
        {{1, 0, 4}},
        dcfEntry("1.0.1", "char", "A", "One") + "1.0.2 char A Two R/W 1 <none> 2 ===== Defined Values ===== [0] Off",
        false));
    EXPECT_EQ(ids(set), (std::vector<std::string>{"1.1.1"}));

    // Cut short inside the first instance of a class with copies: the ids read still get instance 1.
    set = parseOk(dcfText(
        {{3, 0, 2}}, dcfEntry("1.0.1", "char", "P[inst]", "One") + dcfEntry("1.0.2", "char", "P[inst]", "Two"), true));
    EXPECT_EQ(ids(set), (std::vector<std::string>{"1.1.1", "1.1.2"}));
    EXPECT_EQ(labels(set), (std::vector<std::string>{"P1", "P1"}));

    // Entries after the last class are not read.
    set = parseOk(dcfText({{1, 0, 0}}, dcfEntry("1.0.1", "char", "A", "One") + "garbage that is never read"));
    EXPECT_EQ(set.recordCount(), 1);
}

TEST(DcfParser, WindowsLineEndsReadLikeUnixOnes) {
    const std::string unixText = dcfText({{1, 0, 0}, {2, 1, 1}},
                                         "1.0.1  FLAG  Network  DHCP  R/W  1  <none>  0\n"
                                         "===== Enumeration =====  size : 2\n[00]  Disable\n[01]  Enable\n" +
                                             dcfEntry("2.0.1", "int", "Port_[inst]", "Delay", "R/W", 2, "ms", 2) +
                                             "===== Defined Values =====\n[0]  Off\n[100]  Long_delay\n");
    // Every field of every record, in one text, so that a stray "\r" anywhere shows.
    auto describe = [](const DefinitionSet& set) {
        std::string out;
        for (const auto& r : set.records) {
            out += r.id + "|" + r.type + "|" + r.classLabel + "|" + r.name + "|" + r.access + "|" +
                   std::to_string(r.size) + "|" + r.unit + "|";
            for (const auto& d : r.definedValues) out += std::to_string(d.value) + "=" + d.text + ",";
            for (const auto& e : r.enumeration) out += std::to_string(e.key) + "=" + e.text + ",";
            out += "\n";
        }
        for (const auto& g : set.groups) out += g.label + "@" + std::to_string(g.start) + ";";
        return out;
    };
    const DefinitionSet expected = parseOk(unixText);
    ASSERT_EQ(expected.recordCount(), 3);
    EXPECT_EQ(expected.records[2].definedValues.at(1).text, "Long delay");
    EXPECT_EQ(describe(parseOk(replaceAll(unixText, "\n", "\r\n"))), describe(expected));
}

TEST(DcfParser, GroupsFollowTheClassLabels) {
    const std::string body = dcfEntry("1.0.1", "char", "System", "A") + dcfEntry("1.0.2", "char", "System/Time", "B") +
                             dcfEntry("1.0.3", "char", "Clock", "C") +  // new group in a class
                             dcfEntry("2.0.1", "char", "Clock", "D") +  // a class starts a group
                             dcfEntry("3.0.1", "char", "Port[inst]", "E") +
                             dcfEntry("3.0.2", "char", "Port[inst]", "F") +
                             dcfEntry("4.0.1", "char", "IO/In[inst]", "G");
    const DefinitionSet set = parseOk(dcfText({{1, 0, 2}, {1, 3, 3}, {2, 4, 5}, {2, 8, 8}}, body));
    std::vector<std::pair<std::string, int>> groups;
    for (const auto& g : set.groups) groups.emplace_back(g.label, g.start);
    EXPECT_EQ(groups, (std::vector<std::pair<std::string, int>>{{"All classes", 0},
                                                                {"System", 0},
                                                                {"Clock", 2},
                                                                {"Clock", 3},
                                                                {"Port1", 4},
                                                                {"Port2", 6},
                                                                {"IO", 8},
                                                                {"", 10}}));
    EXPECT_EQ(set.groupCount(), 7);
    EXPECT_EQ(set.groupRange(0), (std::pair<int, int>{0, 10}));
    EXPECT_EQ(set.groupRange(4), (std::pair<int, int>{4, 6}));
    EXPECT_EQ(set.groupRange(6), (std::pair<int, int>{8, 10}));
    EXPECT_EQ(set.groupRange(7), (std::pair<int, int>{0, 0}));
}

TEST(DcfParser, FindsRecordsAndClassBlocks) {
    const std::string body = dcfEntry("1.0.1", "char", "A", "a") + dcfEntry("3.0.1", "char", "P[inst]", "b") +
                             dcfEntry("3.0.2", "char", "P[inst]", "c") + dcfEntry("13.0.1", "char", "Q", "d");
    const DefinitionSet set = parseOk(dcfText({{1, 0, 0}, {2, 1, 2}, {1, 5, 5}}, body));
    EXPECT_EQ(FindRecordById(set, "3.2.1"), 3);
    EXPECT_EQ(FindRecordById(set, "3.0.1"), -1);
    EXPECT_EQ(FindClassRange(set, "3.0"), (std::pair<int, int>{1, 4}));  // not 13.1.1
    EXPECT_EQ(FindClassRange(set, "3.2.0"), (std::pair<int, int>{3, 4}));
    EXPECT_EQ(FindClassRange(set, "0"), (std::pair<int, int>{0, 5}));
    EXPECT_EQ(FindClassRange(set, "1.1.1"), (std::pair<int, int>{0, 0}));  // prefix "1.1." : one record
    EXPECT_EQ(FindClassRange(set, "7.0"), (std::pair<int, int>{-1, -1}));
    EXPECT_EQ(FindClassRange(set, ""), (std::pair<int, int>{-1, -1}));
}

TEST(DcfParser, RefusesFilesThatBreakALimit) {
    const std::string one = dcfEntry("1.0.1", "char", "A", "a");
    // More than 700 records after expansion.
    EXPECT_NE(refusal(dcfText({{701, 0, 0}}, one)).find("more than 700 records"), std::string::npos);
    EXPECT_TRUE(parseDeviceConfiguration(dcfText({{700, 0, 0}}, one)).ok);
    // 21 defined values, 21 enumeration entries.
    std::string defined = "1.0.1 char A a R/W 1 <none> 21 ===== Defined Values =====";
    for (int i = 0; i < 21; ++i) defined += " [" + std::to_string(i) + "] v";
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, defined)).find("number of defined values 21 is out of range"),
              std::string::npos);
    std::string enumeration = "1.0.1 FLAG A a R/W 1 <none> 0 ===== Enumeration ===== size : 21";
    for (int i = 0; i < 21; ++i) enumeration += " [" + std::to_string(i) + "] v";
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, enumeration)).find("enumeration size 21"), std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, "1.0.1 FLAG A a R/W 1 <none> 0 ===== Enumeration ===== size : 1 [100] x"))
                  .find("expected \"]\""),
              std::string::npos);
    // Ten classes leave no slot with end -1.
    std::vector<ClassLine> ten;
    for (int i = 0; i < 10; ++i) ten.push_back({1, i, i});
    EXPECT_NE(refusal(dcfText(ten, one)).find("end = -1"), std::string::npos);
    // A token of 200 characters; 199 is fine.
    EXPECT_TRUE(
        parseDeviceConfiguration(dcfText({{1, 0, 0}}, dcfEntry("1.0.1", "*char", "A", std::string(199, 'n')))).ok);
    EXPECT_NE(
        refusal(dcfText({{1, 0, 0}}, dcfEntry("1.0.1", "*char", "A", std::string(200, 'n')))).find("longer than 199"),
        std::string::npos);
    // Negative and oversized value sizes.
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, dcfEntry("1.0.1", "*char", "A", "a", "R/W", -4))).find("negative size"),
              std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, dcfEntry("1.0.1", "*char", "A", "a", "R/W", 70000))).find("size 70000"),
              std::string::npos);
}

TEST(DcfParser, RefusesClassTablesThatWouldNotWalk) {
    const std::string two = dcfEntry("1.0.1", "char", "A", "a") + dcfEntry("2.0.1", "char", "B", "b");
    EXPECT_EQ(refusal(dcfText({{1, 0, 0}, {1, 2, 2}}, two)),
              "line 4: class line 2 has start = 2, but the classes before it hold 1 records");
    // 0 instances with the next class placed after its templates: the walk would repeat it forever.
    EXPECT_NE(refusal(dcfText({{0, 0, 0}, {1, 1, 1}}, two)).find("class line 1 has 0 instances"), std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 1, 1}}, two)).find("class line 1 has start = 1"), std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 3, 2}}, two)).find("ends (end = 2) before it starts"), std::string::npos);
    EXPECT_NE(refusal(dcfText({{-1, 0, 0}}, two)).find("negative instance count"), std::string::npos);
    // A 0-instance class that the walk passes at once is harmless; it reads no entries.
    EXPECT_EQ(ids(parseOk(dcfText({{0, 0, 3}, {1, 0, 0}}, two))), (std::vector<std::string>{"1.1.1"}));
}

TEST(DcfParser, RefusesBrokenLiteralsAndSections) {
    const std::string one = dcfEntry("1.0.1", "char", "A", "a");
    const std::string good = dcfText({{1, 0, 0}}, one);
    EXPECT_TRUE(parseDeviceConfiguration(good).ok);
    // Free white space inside literal phrases, also none.
    std::string tight = good;
    tight.replace(tight.find("instance = 1 start = 0 end = 0"), 30, "instance=1 start= 0end =0");
    EXPECT_TRUE(parseDeviceConfiguration(tight).ok);

    EXPECT_EQ(refusal(""), "line 1: the file ends before \"<version>\"");
    EXPECT_NE(refusal("<version> a b").find("three texts"), std::string::npos);
    std::string noCommon = good;
    noCommon.replace(noCommon.find("<common>"), 8, "<commons>");
    EXPECT_NE(refusal(noCommon).find("expected \"<common>\""), std::string::npos);
    std::string badClass = good;
    badClass.replace(badClass.find("instance"), 8, "instanze");
    EXPECT_NE(refusal(badClass).find("expected \"instance =\""), std::string::npos);
    EXPECT_NE(refusal(good.substr(0, good.find("Class 4"))).find("class line 4 is missing"), std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, "1.0.1 char A a R/W 1 <none> x\n")).find("number of defined values"),
              std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, "1.0.1 char A a R/W 1 <none> 1 ===== Defined Value ===== [1] x"))
                  .find("Defined Values"),
              std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, "1.0.1 FLAG A a R/W 1 <none> 0 [00] x")).find("Enumeration"),
              std::string::npos);
    EXPECT_NE(refusal(dcfText({{1, 0, 0}}, "1.0.1 char A a R/W 1 <none> 1 ===== Defined Values ===== [x] y"))
                  .find("expected a defined value"),
              std::string::npos);
}

TEST(DcfParser, ParsesTheSampleFilesCompletely) {
    // Every shipped file must load; their shape is what the simulator and the demo rely on.
    for (const char* name : {"TARN-IO_1.0.dcf", "TARN-IO_1.1.dcf", "TARN-AI_1.0.dcf", "TARN-AI_1.1.dcf",
                             "TARN-GW_1.0.dcf", "TARN-GW_1.1.dcf"}) {
        SCOPED_TRACE(name);
        FILE* f = std::fopen((std::string(TARN_DATA_DIR) + "/" + name).c_str(), "rb");
        ASSERT_NE(f, nullptr);
        std::string text;
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        std::fclose(f);
        const DefinitionSet set = parseOk(text);
        for (const char* needed : {"IP mode", "IP address", "Local port"}) {
            const auto it = std::find_if(set.records.begin(), set.records.end(),
                                         [&](const ParameterRecord& r) { return r.name == needed; });
            ASSERT_NE(it, set.records.end()) << needed;
        }
        EXPECT_EQ(set.records[static_cast<std::size_t>(FindRecordById(set, "2.1.1"))].type, "*char");
        EXPECT_EQ(set.records[static_cast<std::size_t>(FindRecordById(set, "2.1.2"))].type, "*char");
        const auto ipMode = std::find_if(set.records.begin(), set.records.end(),
                                         [](const ParameterRecord& r) { return r.name == "IP mode"; });
        ASSERT_EQ(ipMode->enumeration.size(), 2u);
        EXPECT_EQ(ipMode->enumeration[0].text, "DHCP");
        EXPECT_EQ(ipMode->enumeration[1].text, "Static");
        bool copies = false;
        for (const auto& r : set.records) copies |= r.id.find(".2.") != std::string::npos;
        EXPECT_TRUE(copies);
    }
}

}  // namespace
}  // namespace tarn
