// Definition sets over a run: one set per (product, major, minor), reuse, and what a failed load
// leaves behind.
#include <fstream>
#include <gtest/gtest.h>

#include "core/params/definition_store.h"
#include "support/dcf_text.h"
#include "support/test_paths.h"

namespace tarn {
namespace {

using test::dcfEntry;
using test::dcfText;

std::string writeFile(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const std::string kOneRecord = dcfText({{1, 0, 0}}, dcfEntry("1.0.1", "char", "A", "First"));
const std::string kTwoRecords =
    dcfText({{1, 0, 1}}, dcfEntry("1.0.1", "char", "A", "First") + dcfEntry("1.0.2", "char", "A", "Second"));

TEST(DefinitionStore, ReusesTheSetOfAKnownTriple) {
    const std::string dir = test::scratchDir().toStdString();
    const std::string a = writeFile(dir, "PX_1.2.dcf", kOneRecord);
    const std::string b = writeFile(dir, "PY_1.2.dcf", kTwoRecords);
    DefinitionStore store;
    EXPECT_EQ(store.currentIndex(), -1);
    EXPECT_EQ(store.FindRecordById("1.1.1"), -1);

    ASSERT_TRUE(store.LoadDeviceConfiguration(a, 74, 1, 2));
    EXPECT_EQ(store.currentIndex(), 0);
    ASSERT_TRUE(store.LoadDeviceConfiguration(b, 75, 1, 2));
    EXPECT_EQ(store.currentIndex(), 1);
    EXPECT_EQ(store.FindRecordById("1.1.2"), 1);
    // A second device of product 74, version 1.2: the same set, parsed again.
    const DcfLoadResult again = store.LoadDeviceConfiguration(a, 74, 1, 2);
    ASSERT_TRUE(again);
    EXPECT_EQ(again.setIndex, 0);
    EXPECT_EQ(store.setCount(), 2);
    EXPECT_EQ(store.current()->recordCount(), 1);
    EXPECT_EQ(store.current()->productNumber, 74);
    EXPECT_EQ(store.FindRecordById("1.1.2"), -1);
    EXPECT_EQ(store.FindClassRange("1.0"), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(store.setIndexFor(75, 1, 2), 1);
    EXPECT_EQ(store.setIndexFor(75, 1, 3), -1);
    EXPECT_TRUE(again.reports().reports.empty());
    EXPECT_EQ(deviceConfigurationPath(dir + "/", "PX", "1.2"), a);

    // The file is read every time: once it changed on disk, the set is the new one.
    store.current()->selectedGroup = 1;
    ASSERT_TRUE(store.LoadDeviceConfiguration(a, 74, 1, 2));
    EXPECT_EQ(store.current()->selectedGroup, 0);
    writeFile(dir, "PX_1.2.dcf", kTwoRecords);
    const DcfLoadResult changed = store.LoadDeviceConfiguration(a, 74, 1, 2);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed.setIndex, 0);
    EXPECT_EQ(store.current()->recordCount(), 2);
    EXPECT_EQ(store.FindRecordById("1.1.2"), 1);
}

TEST(DefinitionStore, MissingOrRefusedFileLeavesNoSetCurrent) {
    const std::string dir = test::scratchDir().toStdString();
    const std::string good = writeFile(dir, "good.dcf", kTwoRecords);
    DefinitionStore store;
    ASSERT_TRUE(store.LoadDeviceConfiguration(good, 74, 1, 0));

    const std::string missing = dir + "/PX_9.9.dcf";
    const DcfLoadResult result = store.LoadDeviceConfiguration(missing, 74, 9, 9);
    const StepResult shown = result.reports();
    EXPECT_FALSE(shown);
    ASSERT_EQ(shown.reports.size(), 1u);
    EXPECT_EQ(shown.reports[0].caption, "Error");
    EXPECT_EQ(shown.reports[0].icon, MessageIcon::Critical);
    EXPECT_EQ(shown.reports[0].text, "Can't find configuration file! \n" + missing);
    EXPECT_EQ(store.current(), nullptr);
    EXPECT_EQ(store.setIndexFor(74, 9, 9), -1);

    // A broken file for the known triple: refused with file and fault named, the old set kept aside.
    const std::string broken = writeFile(dir, "broken.dcf", kTwoRecords.substr(0, kTwoRecords.find("Class 3")));
    const DcfLoadResult refused = store.LoadDeviceConfiguration(broken, 74, 1, 0);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.message, "Can't use configuration file! \n" + broken +
                                   "\nline 5: the class table ends early: class line 3 is missing or incomplete");
    EXPECT_EQ(store.current(), nullptr);
    EXPECT_EQ(store.set(0)->recordCount(), 2);
    EXPECT_EQ(store.setCount(), 1);
}

TEST(DefinitionStore, EnforcesTheTripleBoundsAndTheNumberOfSets) {
    DefinitionStore store;
    EXPECT_FALSE(store.loadFromText("x.dcf", kOneRecord, 100, 0, 0));
    EXPECT_EQ(store.loadFromText("x.dcf", kOneRecord, 0, 20, 0).message,
              "Can't use configuration file! \nx.dcf\nmajor version 20 is out of range (0 to 19)");
    EXPECT_FALSE(store.loadFromText("x.dcf", kOneRecord, 0, 0, 30));
    EXPECT_FALSE(store.loadFromText("x.dcf", kOneRecord, -1, 0, 0));
    EXPECT_TRUE(store.loadFromText("x.dcf", kOneRecord, 99, 19, 29));

    for (int i = 1; i < kMaxDefinitionSets; ++i) ASSERT_TRUE(store.loadFromText("x.dcf", kOneRecord, i, 0, 0));
    EXPECT_EQ(store.setCount(), kMaxDefinitionSets);
    const DcfLoadResult full = store.loadFromText("x.dcf", kOneRecord, 0, 1, 0);  // a 101st triple
    EXPECT_FALSE(full);
    EXPECT_NE(full.message.find("at most 100"), std::string::npos);
    EXPECT_TRUE(store.loadFromText("x.dcf", kTwoRecords, 5, 0, 0));  // a known one still loads
    EXPECT_EQ(store.current()->recordCount(), 2);
}

TEST(DefinitionStore, AHeldSetStaysValidWhileOtherProductsLoad) {
    DefinitionStore store;
    ASSERT_TRUE(store.loadFromText("x.dcf", kTwoRecords, 74, 1, 0));
    const DefinitionSet* held = store.current();
    for (int product = 0; product < 40; ++product) ASSERT_TRUE(store.loadFromText("y.dcf", kOneRecord, product, 2, 0));
    EXPECT_EQ(store.set(0), held);
    EXPECT_EQ(held->productNumber, 74);
    ASSERT_EQ(held->recordCount(), 2);
    EXPECT_EQ(held->records[1].id, "1.1.2");
}

}  // namespace
}  // namespace tarn
