// The request datagrams byte for byte, and where long gets are split.
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

#include "core/manage/management_requests.h"
#include "core/params/dcf_parser.h"
#include "session_fixture.h"
#include "support/dcf_text.h"

namespace tarn::test {
namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes withChecksum(Bytes b, ByteOrder order) {
    appendU16(b, checksum16(b), order);
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes idBytes(std::uint16_t id, ByteOrder order) {
    Bytes b;
    appendU16(b, id, order);
    return b;
}

TEST_F(SessionTest, RequestsAreTheProductsBytes) {
    nextRequestId = 0x1207;
    DeviceEntry io = ioDevice("Pump", 11);
    selectAndGet({io});
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].address, "127.0.0.11");
    // Whole-device get, product 74: big-endian length 9, request id, A0, 01 00 00 00.
    EXPECT_EQ(hexDump(host.sent[0].bytes), hexDump(withChecksum(concat({{0x03, 0xA8, 0x16, 0xDA, 0x05},
                                                                        text("admin"),
                                                                        {0x05},
                                                                        text("admin"),
                                                                        {0x00, 0x09},
                                                                        idBytes(0x1207, ByteOrder::Big),
                                                                        {0xA0, 0x01, 0x00, 0x00, 0x00}}),
                                                                ByteOrder::Big)));

    // Another device selected but not read: Set sends nothing and says whose values are shown.
    DeviceEntry little = ioDevice("Small", 12);
    little.productId = "12";
    logCredentials(little, "op", "pw");
    host.selected = {little};
    host.sent.clear();
    nextRequestId = 0x1207;
    prompter.answerYesNo(true);
    session.set();
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(prompter.messageTexts().back(), "Values of Pump. Press Enter to read Small");

    // A reboot of product 12: little-endian length 8.
    nextRequestId = 0x1207;
    session.reboot();
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(hexDump(host.sent[0].bytes), hexDump(withChecksum(concat({{0x03, 0xA8, 0x16, 0xDA, 0x02},
                                                                        text("op"),
                                                                        {0x02},
                                                                        text("pw"),
                                                                        {0x08, 0x00},
                                                                        idBytes(0x1207, ByteOrder::Little),
                                                                        {0xF0, 0x00, 0x00, 0x00}}),
                                                                ByteOrder::Little)));

    // A reboot to a device reached by MAC: the MAC-addressed form, broadcast, length 8.
    io.addressingKind = 2;
    host.selected = {io};
    host.sent.clear();
    nextRequestId = 0x1207;
    prompter.answerYesNo(true);
    session.reboot();
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].address, "");
    EXPECT_EQ(hexDump(host.sent[0].bytes),
              hexDump(withChecksum(concat({{0x03, 0xA8, 0x16, 0xDB, 0x00, 0x50, 0xC2, 0x00, 0x00, 0x0B, 0x02, 0x05},
                                           text("admin"),
                                           {0x05},
                                           text("admin"),
                                           {0x00, 0x08},
                                           idBytes(0x1207, ByteOrder::Big),
                                           {0xF0, 0x00, 0x00, 0x00}}),
                                   ByteOrder::Big)));
    EXPECT_EQ(prompts("confirm").back().caption, "Reboot Confirm");
}

TEST(GroupGet, PartsCoverTheGroupOnceAndStayWithinTheBuffer) {
    const DcfParseResult parsed = parseDeviceConfiguration(largeDcfText());
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const DefinitionSet& set = parsed.set;
    for (std::size_t head : {std::size_t{16}, requestHeadSize(true, std::string(255, 'i'), std::string(255, 'p'))}) {
        for (int g = 0; g < set.groupCount(); ++g) {
            const auto [first, end] = set.groupRange(g);
            std::vector<std::string> ids;
            int continuation = 0, parts = 0;
            do {
                const GetPart part = groupGetBody(set, g, continuation, head);
                const ValueEntries entries = readValueEntries(part.body, ByteOrder::Big);
                EXPECT_FALSE(entries.overrun);
                for (const auto& e : entries.entries) ids.push_back(e.id);
                if (part.continuation != 0) {
                    EXPECT_GT(head + part.body.size(), kSplitThreshold);
                }
                EXPECT_LE(head + part.body.size() + 2, std::max<std::size_t>(600, head + 16));
                ASSERT_TRUE(part.continuation == 0 || part.continuation > continuation);
                continuation = part.continuation;
                ASSERT_LT(++parts, 1000);
            } while (continuation != 0);
            ASSERT_EQ(static_cast<int>(ids.size()), end - first) << "group " << g;
            for (int i = first; i < end; ++i)
                EXPECT_EQ(ids[static_cast<std::size_t>(i - first)], set.records[static_cast<std::size_t>(i)].id);
            if (g == 0) {
                EXPECT_GT(parts, 1);
            }
        }
    }
}

// However long the ID and password, each part of a set carries at least one row and fits a device's
// buffer, the parts carry every marked row once, and no part is sent for rows that are not marked.
TEST(SetParts, EveryPartCarriesRowsAndTheMarkedRowsGoOnce) {
    const DcfParseResult parsed = parseDeviceConfiguration(largeDcfText());
    ASSERT_TRUE(parsed.ok) << parsed.error;
    std::mt19937 rng(3);
    for (std::size_t head : {std::size_t{16}, requestHeadSize(true, std::string(255, 'i'), std::string(255, 'p'))}) {
        for (int round = 0; round < 40; ++round) {
            ParameterTable table;
            table.setDefinitions(&parsed.set);
            table.showGroup(0);
            std::vector<std::string> marked;
            for (int r = 0; r < table.recordRowCount(); ++r) {
                if (table.recordOfRow(r)->id.empty() || !table.writable(r) || rng() % 3 != 0) continue;
                const ParameterRecord& record = *table.recordOfRow(r);
                table.setValue(r, FormatValue(record, Bytes(static_cast<std::size_t>(record.size), 0), ByteOrder::Big));
                table.setModified(table.row(r).record, true);
                marked.push_back(record.id);
            }
            std::vector<std::string> sent;
            for (int parts = 1;; ++parts) {
                ASSERT_LT(parts, 1000);
                const SetPart part = setBody(table, ByteOrder::Big, head);
                const ValueEntries entries = readValueEntries(part.body, ByteOrder::Big);
                EXPECT_FALSE(entries.overrun);
                EXPECT_TRUE(parts == 1 || !entries.entries.empty());
                EXPECT_LE(head + part.body.size() + kChecksumSize, kRequestBufferSize);
                for (const auto& e : entries.entries) sent.push_back(e.id);
                for (const SentValue& v : part.values) table.setModified(table.row(v.row).record, false);
                if (part.continuation == 0) break;
            }
            EXPECT_EQ(sent, marked);
        }
    }
}

}  // namespace
}  // namespace tarn::test
