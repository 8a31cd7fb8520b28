// The management envelope on the wire: golden bytes, byte orders, request ids, reply matching.
#include <gtest/gtest.h>
#include <set>

#include "core/discovery/addressing.h"
#include "core/discovery/management_message.h"
#include "core/discovery/target_table.h"

using namespace tarn;

namespace {

Bytes bytes(std::initializer_list<int> list) {
    Bytes b;
    for (int v : list) b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

}  // namespace

TEST(ManagementMessage, ProbeIsTheFourByteSignatureWithChecksum0x019B) {
    EXPECT_EQ(discoveryProbe(), bytes({0x03, 0xA8, 0x16, 0xDA}));
    EXPECT_EQ(checksum16(discoveryProbe()), 0x019B);
}

TEST(ManagementMessage, ChecksumWrapsModulo65536) {
    Bytes all(300, 0xFF);  // 300 * 255 = 76500 = 0x12AD4
    EXPECT_EQ(checksum16(all), 0x2AD4);
}

TEST(ManagementMessage, RequestIdIsWrittenInDeviceByteOrder) {
    RequestAddress a;
    a.id = "ab";
    a.password = "x";
    const Bytes body = bytes({0x01, 0x00, 0x00, 0x00});
    const auto big = buildRequest(a, CommandCode::GetValues, body, byteOrderForProduct(74), 0x1234);
    const auto little = buildRequest(a, CommandCode::GetValues, body, byteOrderForProduct(12), 0x1234);
    ASSERT_TRUE(big && little);
    // 03 A8 16 DA | 02 'a' 'b' | 01 'x' | length 00 09 | id 12 34 | A0 | 01 00 00 00 | checksum
    const Bytes expectedHead = bytes(
        {0x03, 0xA8, 0x16, 0xDA, 0x02, 'a', 'b', 0x01, 'x', 0x00, 0x09, 0x12, 0x34, 0xA0, 0x01, 0x00, 0x00, 0x00});
    ASSERT_EQ(big->bytes.size(), expectedHead.size() + 2);
    EXPECT_TRUE(std::equal(expectedHead.begin(), expectedHead.end(), big->bytes.begin()));
    const std::uint16_t sum = checksum16(expectedHead);
    EXPECT_EQ(big->bytes[18], sum >> 8);
    EXPECT_EQ(big->bytes[19], sum & 0xFF);
    EXPECT_EQ(big->requestId, (RequestIdBytes{0x12, 0x34}));

    EXPECT_EQ(little->requestId, (RequestIdBytes{0x34, 0x12}));
    EXPECT_EQ(little->bytes[9], 0x09);  // length low byte first
    EXPECT_EQ(little->bytes[10], 0x00);
    EXPECT_EQ(little->bytes[11], 0x34);
    EXPECT_EQ(little->bytes[12], 0x12);
    EXPECT_EQ(little->bytes[18], sum & 0xFF);
    EXPECT_EQ(little->bytes[19], sum >> 8);
}

TEST(ManagementMessage, MacAddressedRequestCarriesTheMacAndKind2) {
    RequestAddress a;
    a.macForm = true;
    a.mac = *parseMacText("00:1a:2B:3c:4D:5e");
    const auto r = buildRequest(a, CommandCode::Reboot, bytes({0, 0, 0}), ByteOrder::Big, 10);
    ASSERT_TRUE(r);
    const Bytes expected = bytes({0x03, 0xA8, 0x16, 0xDB, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x02,
                                  0x00, 0x00, 0x00, 0x08, 0x00, 0x0A, 0xF0, 0x00, 0x00, 0x00});
    ASSERT_EQ(r->bytes.size(), expected.size() + 2);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), r->bytes.begin()));
    EXPECT_EQ(readU16(r->bytes.data() + expected.size(), ByteOrder::Big), checksum16(expected));
}

TEST(ManagementMessage, CredentialsLongerThanOneLengthByteAreRefused) {
    RequestAddress a;
    a.id.assign(255, 'i');
    EXPECT_TRUE(buildRequest(a, CommandCode::GetValues, {}, ByteOrder::Big, 10));
    a.password.assign(256, 'p');
    EXPECT_FALSE(buildRequest(a, CommandCode::GetValues, {}, ByteOrder::Big, 10));
}

TEST(ManagementMessage, MacTextParsesExactlySixPairs) {
    EXPECT_EQ(formatMacText(*parseMacText("aa:bb:cc:dd:ee:ff")), "AA:BB:CC:DD:EE:FF");
    EXPECT_FALSE(parseMacText("AA:BB:CC:DD:EE"));
    EXPECT_FALSE(parseMacText("AA-BB-CC-DD-EE-FF"));
    EXPECT_FALSE(parseMacText("AA:BB:CC:DD:EE:FG"));
}

TEST(RequestIds, ComeFromTheRandomSourceInTheirRange) {
    // 20,000 draws of 32,768 values: each value about 0.6 times; a constant or a short cycle shows at once.
    std::set<std::uint16_t> seen;
    for (int i = 0; i < 20000; ++i) {
        const auto id = randomRequestId();
        ASSERT_GE(id, 10);
        ASSERT_LE(id, 32777);
        seen.insert(id);
    }
    EXPECT_GT(seen.size(), 14000u);
}

TEST(RequestIds, AreDistinctWithinOneOperation) {
    TargetTable table;
    ASSERT_TRUE(table.begin(700));
    // A source that repeats itself: each id is still drawn until it differs from the earlier ones.
    int n = 0;
    const RequestIdSource repeating = [&n] { return static_cast<std::uint16_t>(10 + n++ / 2); };
    std::set<RequestIdBytes> seen;
    for (int i = 0; i < 700; ++i) {
        table.drawRequestId(i, repeating, ByteOrder::Big);
        EXPECT_TRUE(seen.insert(table[i].requestId).second) << "duplicate id at " << i;
    }
    for (int i = 0; i < 700; ++i) EXPECT_EQ(table.match(table[i].requestId), i);
}

TEST(TargetTable, RefusesMoreDevicesThanItHolds) {
    TargetTable table;
    EXPECT_TRUE(table.begin(TargetTable::kCapacity));
    EXPECT_FALSE(table.begin(TargetTable::kCapacity + 1));
    EXPECT_EQ(table.count(), TargetTable::kCapacity);
    EXPECT_NE(tooManyDevicesMessage(701).find("701"), std::string::npos);
}

TEST(ReplyHeader, MatchedReplyAndIgnoredProbe) {
    // A reply as a device of product 74 sends it: credentials echoed, request id 12 34, code A2.
    RequestAddress a;
    a.id = "admin";
    a.password = "pw";
    const Bytes body = bytes({0x01, 0x00, 0x00, 0x00});
    auto built = buildRequest(a, CommandCode::GetValues, body, ByteOrder::Big, 0x1234);
    Bytes reply = built->bytes;
    reply[4 + 1 + 5 + 1 + 2 + 4] = static_cast<std::uint8_t>(CommandCode::GetValuesReply);
    reply.resize(reply.size() - 2);
    appendU16(reply, checksum16(reply), ByteOrder::Big);

    TargetTable table;
    table.begin(2);
    table[0].requestId = {0x22, 0x22};
    table[1].requestId = {0x12, 0x34};
    const auto h = parseReplyHeader(reply, ByteOrder::Big);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->code, 0xA2);
    EXPECT_EQ(h->id, "admin");
    EXPECT_EQ(h->password, "pw");
    EXPECT_TRUE(h->complete);
    EXPECT_EQ(h->receivedChecksum, h->computedChecksum);
    EXPECT_EQ(h->body.size(), 4u);
    EXPECT_EQ(table.match(h->requestId), 1);
    // The same id in the other byte order is another id.
    EXPECT_EQ(table.match({0x34, 0x12}), -1);

    // The 4-byte probe arriving at the view socket carries no request id at all.
    EXPECT_FALSE(parseReplyHeader(discoveryProbe(), ByteOrder::Big));
}

TEST(ReplyHeader, ReadsOnlyInsideTheDatagram) {
    // Credentials that claim to run past the end.
    EXPECT_FALSE(parseReplyHeader(bytes({0x03, 0xA8, 0x16, 0xDA, 0x20, 'a'}), ByteOrder::Big));
    // A DB-form reply cut inside the skipped MAC block.
    EXPECT_FALSE(parseReplyHeader(bytes({0x03, 0xA8, 0x16, 0xDB, 1, 2, 3}), ByteOrder::Big));
    // Wrong form byte.
    EXPECT_FALSE(parseReplyHeader(bytes({0x03, 0xA8, 0x16, 0xDC, 0, 0, 0, 5, 0, 10, 0xA2}), ByteOrder::Big));
    // A length that points past the end: the head is read, the body is cut at what arrived.
    const auto h =
        parseReplyHeader(bytes({0x03, 0xA8, 0x16, 0xDA, 0, 0, 0x01, 0x00, 0, 10, 0xA2, 1, 2}), ByteOrder::Big);
    ASSERT_TRUE(h);
    EXPECT_FALSE(h->complete);
    EXPECT_EQ(h->body.size(), 2u);
    // A length below the fixed fields is never complete.
    const auto tiny =
        parseReplyHeader(bytes({0x03, 0xA8, 0x16, 0xDA, 0, 0, 0x00, 0x02, 0, 10, 0xFF, 0, 0}), ByteOrder::Big);
    ASSERT_TRUE(tiny);
    EXPECT_FALSE(tiny->complete);
    EXPECT_TRUE(tiny->body.empty());
}

TEST(Addressing, TypedAddressBroadcastAndSubnetRules) {
    DeviceEntry d;
    d.ip = "10.1.2.3";
    d.addressingKind = 2;
    auto offSubnet = [](const std::string&) { return false; };
    // Kind 2 found by broadcast: broadcast with the MAC, whatever its address.
    EXPECT_EQ(decideSend(d, ManagementOperation::Set, offSubnet).kind, SendDecision::Kind::Broadcast);
    // Found by a typed address: always unicast, no subnet test.
    d.foundByTypedAddress = true;
    const auto typed = decideSend(d, ManagementOperation::Reboot, offSubnet);
    EXPECT_EQ(typed.kind, SendDecision::Kind::Unicast);
    EXPECT_EQ(typed.address, "10.1.2.3");
    // Kind 1 off the subnet: get goes out, set and reboot are refused.
    d.foundByTypedAddress = false;
    d.addressingKind = 1;
    EXPECT_EQ(decideSend(d, ManagementOperation::Get, offSubnet).kind, SendDecision::Kind::Unicast);
    const auto refused = decideSend(d, ManagementOperation::Set, offSubnet);
    EXPECT_EQ(refused.kind, SendDecision::Kind::Refused);
    EXPECT_EQ(refused.refusal, "Can't send to 10.1.2.3");
    d.ip = "0.0.0.0";
    EXPECT_EQ(decideSend(d, ManagementOperation::Reboot, [](const std::string&) { return true; }).kind,
              SendDecision::Kind::Refused);
}

TEST(Addressing, SubnetOfAnyInterface) {
    const InterfaceAddress lo{*parseIPv4("127.0.0.1"), *parseIPv4("255.0.0.0")};
    const InterfaceAddress lan{*parseIPv4("192.168.5.20"), *parseIPv4("255.255.255.0")};
    const InterfaceAddress both[] = {lo, lan};
    EXPECT_TRUE(isOnSubnetOf(*parseIPv4("192.168.5.99"), both));
    EXPECT_TRUE(isOnSubnetOf(*parseIPv4("127.0.1.1"), both));
    EXPECT_FALSE(isOnSubnetOf(*parseIPv4("192.168.6.1"), both));
    EXPECT_FALSE(parseIPv4("1.2.3"));
    EXPECT_FALSE(parseIPv4("1.2.3.256"));
    EXPECT_FALSE(parseIPv4("1.2.3.4 "));
    EXPECT_EQ(*parseIPv4("10.0.0.1"), 0x0A000001u);
}
