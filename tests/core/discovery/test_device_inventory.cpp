// The device list's data without a widget: the filter's patterns, and the list's order, filter and
// marks through a probe's life; the compact records it keeps its devices in give back exactly the
// entries they took.
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

#include "core/discovery/device_filter.h"
#include "core/discovery/device_inventory.h"

using namespace tarn;

namespace {

DeviceEntry device(const std::string& name, const std::string& ip, const std::string& mac,
                   const std::string& product = "74") {
    DeviceEntry e;
    e.name = name;
    e.ip = ip;
    e.mac = mac;
    e.productId = product;
    e.version = "1.0";
    return e;
}

std::vector<std::string> shownNames(const DeviceInventory& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.shownCount(); ++i) out.push_back(list.shownEntry(i).name);
    return out;
}

std::vector<std::string> selectedNames(const DeviceInventory& list) {
    std::vector<std::string> out;
    for (const DeviceEntry& e : list.selectedEntries()) out.push_back(e.name);
    return out;
}

}  // namespace

TEST(DeviceFilter, PatternsMatchWithoutCaseAndWildcardsMatchWholeTexts) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const std::string manyAs(200, 'a');
    const Case cases[] = {
        {"", "anything", true},
        {"   ", "anything", true},
        {"pump", "Pump-House-3", true},  // no wildcard: anywhere inside
        {"HOUSE", "Pump-House-3", true},
        {"pomp", "Pump-House-3", false},
        {"10.1.2.*", "10.1.2.77", true},  // wildcards: the whole text
        {"10.1.2.*", "110.1.2.77", false},
        {"Pump-?", "Pump-7", true},
        {"Pump-?", "Pump-17", false},
        {"*:0a", "02:00:00:00:00:0A", true},
        {"*", "", true},
        {"?", "", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {" gate ", "Gateway", true},                // blanks round the pattern are not part of it
        {"*a*a*a*a*a*a*b", manyAs.c_str(), false},  // no exponential back-tracking
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceFilter(c.pattern).matches(c.text), c.match) << c.pattern << " / " << c.text;
}

TEST(DeviceInventory, OrderFilterAndMarksThroughAProbe) {
    DeviceInventory list;
    list.setProductName("75", "TARN-AI");
    list.add(device("Pump10", "10.0.0.3", "00:00:00:00:00:0A"), 3000);
    list.add(device("Pump9", "192.168.0.2", "00:00:00:00:00:09"), 1000);
    list.add(device("Gateway", "9.0.0.1", "00:00:00:00:00:01", "76"), 2000);
    list.add(device("Sensor1", "10.0.0.1", "00:00:00:00:00:0b", "75"), 4000);
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Pump10", "Pump9", "Gateway", "Sensor1"}));
    EXPECT_EQ(list.text(3, kProductColumn), "TARN-AI");
    EXPECT_EQ(list.text(2, kProductColumn), "76");  // not in the table: its id
    EXPECT_EQ(list.text(3, kFoundByColumn), "N");
    EXPECT_EQ(list.find("00:00:00:00:00:0B"), 3);
    EXPECT_EQ(list.find("00:00:00:00:00:0C"), -1);

    // Sorting moves the marks, caret and anchor with their devices.
    list.selection().press(1, {});             // Pump9
    list.selection().press(3, {false, true});  // and Sensor1
    EXPECT_EQ(list.sortByColumn(kNameColumn), SortDirection::Ascending);
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Gateway", "Pump9", "Pump10", "Sensor1"}));
    EXPECT_EQ(selectedNames(list), (std::vector<std::string>{"Pump9", "Sensor1"}));
    EXPECT_EQ(list.shownEntry(list.selection().caret()).name, "Sensor1");
    EXPECT_EQ(list.sortByColumn(kNameColumn), SortDirection::Descending);
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Sensor1", "Pump10", "Pump9", "Gateway"}));
    list.sortByColumn(kLastReplyColumn);  // by time, not by clock text
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Pump9", "Gateway", "Pump10", "Sensor1"}));

    // The filter keeps the order; hidden devices lose their marks and come back unmarked.
    list.setFilter("pump");
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Pump9", "Pump10"}));
    EXPECT_EQ(selectedNames(list), (std::vector<std::string>{"Pump9"}));
    EXPECT_EQ(list.selection().caret(), -1);  // Sensor1 was the caret
    EXPECT_EQ(list.positionOf(3), -1);
    list.setFilter("TARN-AI");  // the product's name
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Sensor1"}));
    list.setFilter("*0.0.?");
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Gateway", "Pump10", "Sensor1"}));
    list.setFilter("");
    EXPECT_TRUE(selectedNames(list).empty());  // the product filter hid Pump9: its mark went

    // A device answering later comes at the end, unsorted; under a filter only when it matches.
    list.setFilter("10.");
    EXPECT_FALSE(list.passesFilter(device("Late", "192.168.9.9", "00:00:00:00:01:00")));
    list.add(device("Late", "192.168.9.9", "00:00:00:00:01:00"), 5000);
    list.add(device("Later", "10.9.9.9", "00:00:00:00:01:01"), 6000);
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Pump10", "Sensor1", "Later"}));
    EXPECT_EQ(list.selection().itemCount(), 3);
    list.setFilter("");
    EXPECT_EQ(shownNames(list), (std::vector<std::string>{"Pump9", "Gateway", "Pump10", "Sensor1", "Late", "Later"}));

    list.heardAgain(0, 9000);
    EXPECT_EQ(list.lastReplyMs(0), 9000);
    EXPECT_EQ(list.text(0, kLastReplyColumn), clockText(9000));
    EXPECT_EQ(list.text(0, kLastReplyColumn).size(), 8u);

    // Type-ahead: from the caret on, wrapping round, without case.
    EXPECT_EQ(list.findByNamePrefix("pu", 0), 0);
    EXPECT_EQ(list.findByNamePrefix("PU", 1), 2);
    EXPECT_EQ(list.findByNamePrefix("pu", 3), 0);
    EXPECT_EQ(list.findByNamePrefix("x", 0), -1);

    list.clear();
    EXPECT_EQ(list.deviceCount(), 0);
    EXPECT_EQ(list.shownCount(), 0);
    EXPECT_EQ(list.selection().selectionCount(), 0);
    EXPECT_EQ(list.find("00:00:00:00:00:0A"), -1);
}

TEST(DeviceInventory, SortingALargeListIsStableAndOrdered) {
    DeviceInventory list;
    std::mt19937 rng(7);
    for (int i = 0; i < 5000; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:00:%02X:%02X", i >> 8, i & 0xFF);
        list.add(device("Dev-" + std::to_string(rng() % 300), "10.0.0." + std::to_string(rng() % 256), mac), i);
    }
    list.sortByColumn(kNameColumn);
    for (int i = 0; i + 1 < list.shownCount(); ++i) {
        const int c = compareDeviceTexts(list.shownEntry(i).name, list.shownEntry(i + 1).name);
        ASSERT_LE(c, 0) << i;
        if (c == 0) {
            ASSERT_LT(list.deviceAt(i), list.deviceAt(i + 1)) << "equal names keep their order, " << i;
        }
    }
    list.selection().press(0, {});
    list.selection().keyMove(list.shownCount() - 1, true);
    EXPECT_EQ(list.selection().selectionCount(), 5000);
    list.setFilter("Dev-1?");
    EXPECT_EQ(list.selection().selectionCount(), list.shownCount());
    for (int i = 0; i < list.shownCount(); ++i) ASSERT_EQ(list.positionOf(list.deviceAt(i)), i);
}

namespace {

std::string randomBytes(std::mt19937& rng, std::size_t size) {
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng() % 256);
    return out;
}

// Mostly the usual forms, now and then a text the reply reader never makes.
DeviceEntry randomEntry(std::mt19937& rng) {
    auto pick = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    auto byte = [&] { return static_cast<unsigned>(rng() % 256); };
    char text[64];
    DeviceEntry e;
    e.name = randomBytes(rng, pick(80) ? rng() % 33 : rng() % 300);  // inline, pooled, or longer than a reply
    std::snprintf(text, sizeof text, pick(95) ? "%u.%u.%u.%u" : "%u.%03u.%u.%u ", byte(), byte(), byte(), byte());
    e.ip = pick(2) ? std::string("::ffff:10.0.0.1") : text;
    std::snprintf(text, sizeof text, pick(95) ? "%02X:%02X:%02X:%02X:%02X:%02X" : "%02x:%02X:%02X:%02X:%02X:%02x",
                  byte(), byte(), byte(), byte(), byte(), byte());
    e.mac = pick(2) ? std::string("02-00-00-00-00-01") : text;
    std::snprintf(text, sizeof text, pick(95) ? "%02u" : "%u", pick(90) ? 74 + byte() % 3 : byte());
    e.productId = text;
    std::snprintf(text, sizeof text, pick(95) ? "%u.%u" : "%u.%02u", byte(), byte());
    e.version = pick(2) ? std::string() : text;
    e.addressingKind = pick(95) ? static_cast<int>(byte()) : std::uniform_int_distribution<int>(-1 << 30, 1 << 30)(rng);
    e.foundByTypedAddress = pick(50);
    if (pick(30)) e.broadcastAddress = "127.255." + std::to_string(rng() % 80) + ".255";  // more than fit the table
    return e;
}

}  // namespace

TEST(DeviceRecords, GiveBackExactlyTheEntriesTheyTook) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        DeviceRecords records;
        std::vector<DeviceEntry> taken;
        for (int round = 0; round < 2; ++round) {  // the second round lists into the room of the first
            records.clear();
            taken.clear();
            for (int i = 0; i < 9000; ++i) {
                taken.push_back(randomEntry(rng));
                ASSERT_EQ(records.add(DeviceEntry(taken.back()), 1000 + i), i);
            }
            ASSERT_EQ(records.size(), static_cast<int>(taken.size()));
            for (int i = 0; i < records.size(); ++i) {
                const DeviceEntry& e = taken[static_cast<std::size_t>(i)];
                ASSERT_EQ(records.entry(i), e) << "seed " << seed << ", device " << i;
                DeviceTextBuffer buffer;
                for (int index = 0; index < 5; ++index) ASSERT_EQ(records.text(i, index, buffer), e.text(index));
                EXPECT_EQ(records.foundByTypedAddress(i), e.foundByTypedAddress);
                EXPECT_EQ(records.lastReplyMs(i), 1000 + i);
            }
        }
    }
    DeviceRecords records;
    EXPECT_THROW(records.entry(0), std::out_of_range);
}
