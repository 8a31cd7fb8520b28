// prodid.ini: product id -> product name, exact text ids, and the table's bounds.
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/params/product_table.h"
#include "support/test_paths.h"

namespace tarn {
namespace {

std::string entry(int n, const std::string& name, const std::string& id) {
    return "\n[" + std::to_string(n) + "]\nName : " + name + " \nID : " + id + "\n";
}

TEST(ProductTable, FindsNamesByExactProductId) {
    ProductTable table;
    EXPECT_TRUE(table.loadFromText(entry(1, "PX", "74") + entry(2, "PY", "75") + entry(3, "PZ", "074"), "prodid.ini")
                    .reports.empty());
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.currentIndex(), 3);
    const int index = table.FindProductId("75");
    ASSERT_EQ(index, 1);
    ASSERT_TRUE(table.SelectProduct(index));
    EXPECT_EQ(table.currentName(), "PY");
    EXPECT_EQ(table.FindProductId("074"), 2);
    EXPECT_EQ(table.FindProductId("74"), 0);  // "074" is not "74"
    EXPECT_EQ(table.FindProductId("76"), -1);
    EXPECT_EQ(table.FindProductId(""), -1);

    // White space between tokens is free.
    table.loadFromText("[7]Name:A ID:1 [8]   Name   :   B\tID\t:\t2", "prodid.ini");
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.entries()[1].name, "B");
    EXPECT_EQ(table.entries()[1].id, "2");
}

TEST(ProductTable, AnEntryWithoutItsNameLineEndsTheReading) {
    ProductTable table;
    table.loadFromText(entry(1, "PX", "74") + "\n[2]\nID : 75\n" + entry(3, "PZ", "76"), "prodid.ini");
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.FindProductId("76"), -1);
    EXPECT_TRUE(table.loadFromText(entry(1, "PX", "74") + "\n[2]\nName : PY \nID :", "prodid.ini").reports.empty());
    EXPECT_EQ(table.count(), 1);
}

TEST(ProductTable, SelectProductRefusesIndexesBeyondTheTable) {
    ProductTable table;
    table.loadFromText(entry(1, "PX", "74") + entry(2, "PY", "75"), "prodid.ini");
    EXPECT_TRUE(table.SelectProduct(2));  // the free entry after the last
    EXPECT_EQ(table.currentName(), "");
    ASSERT_TRUE(table.SelectProduct(0));
    for (int bad : {3, -1, 100000}) {
        const StepResult refused = table.SelectProduct(bad);
        EXPECT_FALSE(refused);
        ASSERT_EQ(refused.reports.size(), 1u);
        EXPECT_EQ(refused.reports[0].caption, "Fatal Error");
        EXPECT_EQ(refused.reports[0].text, "Out of range of the database !");
        EXPECT_EQ(table.currentIndex(), 0);
    }
    ProductTable empty;
    EXPECT_TRUE(empty.SelectProduct(0));
}

TEST(ProductTable, BoundsAreAnsweredWithAMessage) {
    ProductTable table;
    std::string many;
    for (int i = 0; i < 5001; ++i) many += entry(i + 1, "P" + std::to_string(i), std::to_string(i));
    const StepResult partly = table.loadFromText(many, "prodid.ini");
    EXPECT_TRUE(partly);  // the entries before stay in use
    EXPECT_EQ(table.count(), 5000);
    EXPECT_EQ(table.FindProductId("4999"), 4999);
    ASSERT_EQ(partly.reports.size(), 1u);
    EXPECT_EQ(partly.reports[0].caption, "Error");
    EXPECT_EQ(partly.reports[0].text,
              "prodid.ini holds more than 5000 entries; the entries from line 20002 on are ignored.");

    const StepResult longToken = table.loadFromText(
        entry(1, std::string(75, 'N'), "74") + entry(2, std::string(76, 'N'), "75") + entry(3, "P", "76"),
        "prodid.ini");
    EXPECT_EQ(table.count(), 1);
    ASSERT_EQ(longToken.reports.size(), 1u);
    EXPECT_EQ(
        longToken.reports[0].text,
        "prodid.ini, entry at line 6: a name or product id is longer than 75 characters; the entries from there on are "
        "ignored.");
}

TEST(ProductTable, AMissingFileIsAnEmptyTableAndIsNotCreated) {
    const std::string dir = test::scratchDir().toStdString();
    ProductTable table;
    const StepResult missing = table.LoadProductTable(dir + "/prodid.ini");
    EXPECT_TRUE(missing);
    EXPECT_EQ(table.count(), 0);
    struct stat st {};
    EXPECT_NE(::stat((dir + "/prodid.ini").c_str(), &st), 0);
    EXPECT_TRUE(missing.reports.empty());

    table.LoadProductTable(std::string(TARN_DATA_DIR) + "/prodid.ini");
    ASSERT_EQ(table.count(), 3);
    ASSERT_TRUE(table.SelectProduct(table.FindProductId("75")));
    EXPECT_EQ(table.currentName(), "TARN-AI");
}

}  // namespace
}  // namespace tarn
