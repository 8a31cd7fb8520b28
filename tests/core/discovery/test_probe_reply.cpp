// Reading discovery replies: both forms, the product filter, names, checksums and the bounds.
#include <gtest/gtest.h>
#include <random>

#include "core/discovery/probe_reply.h"

using namespace tarn;

namespace {

ProbeReplyContent content(const std::string& name = "Pump-1") {
    ProbeReplyContent s;
    s.mac = *parseMacText("00:1A:2B:3C:4D:5E");
    s.productId = 74;
    s.major = 1;
    s.minor = 5;
    s.name = name;
    return s;
}

ProbeOutcome read(const Bytes& d, bool quick = false, std::function<bool(std::string_view)> listed = {}) {
    return readProbeReply(
        d, "127.0.0.2", quick, listed ? listed : [](std::string_view) { return false; });
}

}  // namespace

TEST(ProbeReply, IpAddressedFormGivesAllSevenTexts) {
    const auto out = read(buildProbeReply(content()));
    ASSERT_EQ(out.verdict, ProbeVerdict::Accepted);
    EXPECT_FALSE(out.checksumError);
    const DeviceEntry& e = out.entry;
    EXPECT_EQ(e.text(0), "Pump-1");
    EXPECT_EQ(e.text(1), "127.0.0.2");
    EXPECT_EQ(e.text(2), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(e.text(3), "74");
    EXPECT_EQ(e.text(4), "1.5");
    EXPECT_EQ(e.text(5), "1");
    EXPECT_EQ(e.text(6), "N");
}

TEST(ProbeReply, MacAddressedFormTakesTheKindFromByte10) {
    auto s = content();
    s.macForm = true;
    s.addressingKind = 2;
    const Bytes golden = buildProbeReply(s);
    // 03 A8 16 DB | MAC | 02 | 4A 01 05 | 06 "Pump-1" | sum, high byte first
    ASSERT_EQ(golden.size(), 11u + 4 + 6 + 2);
    EXPECT_EQ(golden[10], 0x02);
    EXPECT_EQ(golden[11], 0x4A);
    const auto out = read(golden, true);
    ASSERT_EQ(out.verdict, ProbeVerdict::Accepted);
    EXPECT_EQ(out.entry.addressingKind, 2);
    EXPECT_EQ(out.entry.text(6), "Q");
    s.addressingKind = 7;
    EXPECT_EQ(read(buildProbeReply(s)).entry.addressingKind, 7);
}

TEST(ProbeReply, OnlyTheThreeKnownProductsAreListed) {
    for (int id : {0x4A, 0x4B, 0x4C}) {
        auto s = content();
        s.productId = static_cast<std::uint8_t>(id);
        EXPECT_EQ(read(buildProbeReply(s)).verdict, ProbeVerdict::Accepted) << id;
    }
    auto s = content();
    s.productId = 0x4D;
    EXPECT_EQ(read(buildProbeReply(s)).verdict, ProbeVerdict::UnknownProduct);
    s.productId = 9;
    EXPECT_EQ(read(buildProbeReply(s)).verdict, ProbeVerdict::UnknownProduct);
}

TEST(ProbeReply, SignatureAndFormMustMatch) {
    Bytes d = buildProbeReply(content());
    d[1] = 0xA9;
    EXPECT_EQ(read(d).verdict, ProbeVerdict::Ignored);
    d = buildProbeReply(content());
    d[3] = 0xDC;
    EXPECT_EQ(read(d).verdict, ProbeVerdict::Ignored);
    EXPECT_EQ(read(discoveryProbe()).verdict, ProbeVerdict::Truncated);  // our own probe echoed back
}

TEST(ProbeReply, DuplicateMacIsDroppedWhateverTheCase) {
    std::string seen;
    const auto out = read(buildProbeReply(content()), false, [&](std::string_view mac) {
        seen = mac;
        return mac == "00:1A:2B:3C:4D:5E";
    });
    EXPECT_EQ(out.verdict, ProbeVerdict::Duplicate);
    EXPECT_EQ(seen, "00:1A:2B:3C:4D:5E");
}

TEST(ProbeReply, NameCutByZeroKeepsTheChecksumAfterTheFullLength) {
    std::string name = "Pump-1-and-more";
    name[4] = '\0';
    const auto out = read(buildProbeReply(content(name)));
    ASSERT_EQ(out.verdict, ProbeVerdict::Accepted);
    EXPECT_EQ(out.entry.name, "Pump");
    EXPECT_FALSE(out.checksumError);
}

TEST(ProbeReply, BadChecksumStillListsTheDevice) {
    auto s = content();
    s.corruptChecksum = true;
    const auto out = read(buildProbeReply(s));
    EXPECT_EQ(out.verdict, ProbeVerdict::Accepted);
    EXPECT_TRUE(out.checksumError);
    EXPECT_EQ(out.entry.name, "Pump-1");
}

TEST(ProbeReply, NameRunningPastTheDatagramIsDropped) {
    Bytes d = buildProbeReply(content("ABCDEFGH"));
    d.resize(d.size() - 5);  // the checksum and three name bytes never arrived
    EXPECT_EQ(read(d).verdict, ProbeVerdict::Truncated);
    Bytes head = buildProbeReply(content());
    head.resize(12);  // ends before the name length
    EXPECT_EQ(read(head).verdict, ProbeVerdict::Truncated);
}

TEST(ProbeReply, NamesOfEveryLengthTheLayoutAllowsAreListed) {
    for (std::size_t length : {84u, 85u, 86u, 200u, 255u}) {
        const std::string name(length, 'N');
        const auto out = read(buildProbeReply(content(name)));
        ASSERT_EQ(out.verdict, ProbeVerdict::Accepted) << length;
        EXPECT_EQ(out.entry.name, name);
        EXPECT_FALSE(out.checksumError);
    }
    // A datagram longer than any probe reply is not one, and says so.
    Bytes longer = buildProbeReply(content(std::string(255, 'L')));
    longer.resize(kProbeReplyBufferSize + 1);
    EXPECT_EQ(read(longer).verdict, ProbeVerdict::TooLarge);
}

// The window reads every reply of a burst into one entry: what it holds after each accepted reply is
// what a fresh read gives, whatever the replies before it left there (longer names, another form, a
// remembered broadcast address).
TEST(ProbeReply, AnEntryReadIntoAgainHoldsOnlyTheNewReply) {
    std::mt19937 rng(7);
    DeviceEntry reused;
    for (int i = 0; i < 2000; ++i) {
        ProbeReplyContent s = content(std::string(rng() % 40, static_cast<char>('A' + rng() % 26)));
        s.macForm = rng() % 2;
        s.addressingKind = static_cast<std::uint8_t>(rng() % 4);
        s.productId = static_cast<std::uint8_t>(73 + rng() % 5);
        s.mac[5] = static_cast<std::uint8_t>(rng());
        s.corruptChecksum = rng() % 5 == 0;
        Bytes d = buildProbeReply(s);
        if (rng() % 5 == 0) d.resize(rng() % d.size());
        const std::string ip = "127.0." + std::to_string(rng() % 256) + "." + std::to_string(rng() % 256);
        const bool quick = rng() % 2;
        const ProbeOutcome fresh = readProbeReply(d, ip, quick, nullptr);
        bool checksumError = false;
        ASSERT_EQ(readProbeReply(d, ip, quick, nullptr, reused, checksumError), fresh.verdict) << i;
        if (fresh.verdict != ProbeVerdict::Accepted) continue;
        EXPECT_EQ(reused, fresh.entry) << i;
        EXPECT_EQ(checksumError, fresh.checksumError) << i;
        reused.broadcastAddress = "127.255.255.255";  // as the window sets it after a read
    }
}
