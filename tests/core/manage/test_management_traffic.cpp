// What the traffic log shows of management datagrams: one summary per kind of datagram, and no
// password left anywhere in the entry (summary, bytes, the saved text).
#include <algorithm>
#include <gtest/gtest.h>

#include "core/common/traffic_log.h"
#include "core/discovery/management_message.h"
#include "core/discovery/probe_reply.h"
#include "core/manage/management_traffic.h"
#include "core/params/parameter_entry.h"

using namespace tarn;

namespace {

constexpr auto Sent = TrafficDirection::Sent;
constexpr auto Received = TrafficDirection::Received;
constexpr auto Mgmt = ManagementChannel::Management;

Bytes datagram(CommandCode code, const std::string& password, const Bytes& body = {}, bool macForm = false,
               ByteOrder order = ByteOrder::Big) {
    RequestAddress a;
    a.macForm = macForm;
    a.mac = {0x02, 0x00, 0x00, 0xAB, 0xCD, 0xEF};
    a.id = "admin";
    a.password = password;
    return buildRequest(a, code, body, order, 0x1234)->bytes;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(ManagementTraffic, EveryKindOfDatagramHasItsSummary) {
    EXPECT_EQ(managementSummary(discoveryProbe(), Sent, ManagementChannel::Discovery, "255.255.255.255"),
              "DiscoveryProbe  to 255.255.255.255");

    ProbeReplyContent reply;
    reply.mac = {0x02, 0x00, 0x00, 0x00, 0x0A, 0x0B};
    reply.name = "Pump-1";
    reply.minor = 5;
    EXPECT_EQ(managementSummary(buildProbeReply(reply), Received, ManagementChannel::Discovery, "127.0.0.2"),
              "ProbeReply  Pump-1  02:00:00:00:0A:0B  product 74  version 1.5  from 127.0.0.2");
    reply.macForm = true;
    reply.addressingKind = 2;
    reply.corruptChecksum = true;
    EXPECT_EQ(managementSummary(buildProbeReply(reply), Received, ManagementChannel::Discovery, "127.0.0.2"),
              "ProbeReply  Pump-1  02:00:00:00:0A:0B  product 74  version 1.5  kind 2  bad checksum  from 127.0.0.2");
    reply.productId = 77;
    EXPECT_EQ(managementSummary(buildProbeReply(reply), Received, ManagementChannel::Discovery, "127.0.0.2"),
              "ProbeReply  unknown product  from 127.0.0.2");

    EXPECT_EQ(managementSummary(datagram(CommandCode::GetValues, "pw"), Sent, Mgmt, "127.0.0.11"),
              "GetValues  rid 0x1234  to 127.0.0.11");
    EXPECT_EQ(managementSummary(datagram(CommandCode::SetValues, "pw", {}, true), Sent, Mgmt, "255.255.255.255"),
              "SetValues  rid 0x1234  MAC 02:00:00:AB:CD:EF  to 255.255.255.255");
    EXPECT_EQ(managementSummary(datagram(CommandCode::Reboot, "pw", {0, 0, 0}), Sent, Mgmt, "127.0.0.11"),
              "Reboot  rid 0x1234  to 127.0.0.11");
    EXPECT_EQ(managementSummary(datagram(CommandCode::GetValuesReply, "pw"), Received, Mgmt, "127.0.0.11"),
              "GetValuesReply  rid 0x1234  from 127.0.0.11");
    EXPECT_EQ(managementSummary(datagram(CommandCode::SetValuesReply, "pw"), Received, Mgmt, "127.0.0.11"),
              "SetValuesReply  rid 0x1234  from 127.0.0.11");
    EXPECT_EQ(managementSummary(datagram(CommandCode::AuthFailed, "pw"), Received, Mgmt, "127.0.0.11"),
              "AuthFailed  rid 0x1234  from 127.0.0.11");
    // A little-endian device: the request id shows in wire order, and its checksum is good.
    EXPECT_EQ(managementSummary(datagram(CommandCode::RebootDone, "pw", {}, false, ByteOrder::Little), Received, Mgmt,
                                "127.0.0.11"),
              "RebootDone  rid 0x3412  from 127.0.0.11");

    Bytes damaged = datagram(CommandCode::GetValuesReply, "pw", {1, 2, 3});
    damaged.back() ^= 0x01;
    EXPECT_EQ(managementSummary(damaged, Received, Mgmt, "127.0.0.11"),
              "GetValuesReply  rid 0x1234  from 127.0.0.11  bad checksum");
    damaged.resize(damaged.size() - 3);
    EXPECT_EQ(managementSummary(damaged, Received, Mgmt, "127.0.0.11"),
              "GetValuesReply  rid 0x1234  from 127.0.0.11  cut short");
    EXPECT_EQ(managementSummary(datagram(static_cast<CommandCode>(0x77), "pw"), Received, Mgmt, "127.0.0.11"),
              "command 0x77  rid 0x1234  from 127.0.0.11");
    EXPECT_EQ(managementSummary(Bytes{0x03, 0xA8, 0x17}, Received, Mgmt, "127.0.0.11"),
              "not a management reply  from 127.0.0.11");
}

TEST(ManagementTraffic, PasswordFieldsAreMaskedWithTheirLengthAndNothingElse) {
    const std::string secret = "s3cr3t";
    const auto shown = [&](const Bytes& d, TrafficDirection direction) {
        TrafficEntry e;
        e.direction = direction;
        e.peer = "127.0.0.11:2002";
        e.length = d.size();
        e.summary = managementSummary(d, direction, Mgmt, "127.0.0.11");
        e.bytes = maskManagementPasswords(d);
        EXPECT_EQ(e.bytes.size(), d.size());
        return e;
    };
    const auto leaks = [&](const TrafficEntry& e, const std::string& password) {
        const std::string text = formatTrafficEntry(e) + asText(e.bytes);
        return contains(text, password) || contains(text, hexText(Bytes(password.begin(), password.end()), 64));
    };

    // The envelope of a request, MAC-addressed too; the ID stays readable.
    for (bool macForm : {false, true}) {
        const Bytes get = datagram(CommandCode::GetValues, secret, {1, 0, 0, 0}, macForm);
        const TrafficEntry e = shown(get, Sent);
        EXPECT_FALSE(leaks(e, secret));
        EXPECT_TRUE(contains(asText(e.bytes), "admin*******"));  // the length byte too
    }

    // A whole-device values block holds the device's password among its values (zero padded).
    Bytes block = {'P', 'u', 'm', 'p', 0};
    block.insert(block.end(), secret.begin(), secret.end());
    block.insert(block.end(), {0, 0, 0x01, 0xF4});
    Bytes body;
    appendValueEntry(body, "0", block, ByteOrder::Big);
    const TrafficEntry values = shown(datagram(CommandCode::GetValuesReply, secret, body), Received);
    EXPECT_FALSE(leaks(values, secret));
    EXPECT_TRUE(contains(asText(values.bytes), "Pump"));

    // A set that gives the device a new password: the own-password record's value is masked.
    const std::string fresh = "n3w-pw";
    Bytes setBody;
    appendValueEntry(setBody, "2.1.1", Bytes{'o', 'p'}, ByteOrder::Big);
    appendValueEntry(setBody, "2.1.2", Bytes(fresh.begin(), fresh.end()), ByteOrder::Big);
    const TrafficEntry set = shown(datagram(CommandCode::SetValues, secret, setBody), Sent);
    EXPECT_FALSE(leaks(set, secret));
    EXPECT_FALSE(leaks(set, fresh));
    EXPECT_TRUE(contains(asText(set.bytes), "op"));        // the new user ID is no secret
    EXPECT_TRUE(contains(asText(set.bytes), "********"));  // its two length bytes too

    // A new user ID that equals the password is no password field: it stays readable.
    Bytes sameBody;
    appendValueEntry(sameBody, "2.1.1", Bytes(secret.begin(), secret.end()), ByteOrder::Big);
    EXPECT_TRUE(contains(asText(shown(datagram(CommandCode::SetValues, secret, sameBody), Sent).bytes),
                         std::string("\x00\x06", 2) + secret));
}

TEST(TrafficLog, TheRingKeepsTheLatestEntriesAndTheDumpShowsEveryByte) {
    TrafficRing ring;
    for (int i = 0; i < 10005; ++i) {
        TrafficEntry e;
        e.summary = std::to_string(i);
        EXPECT_EQ(ring.push(std::move(e)), i >= 10000);
    }
    EXPECT_EQ(ring.size(), 10000u);
    EXPECT_EQ(ring.at(0).summary, "5");
    EXPECT_EQ(ring.at(9999).summary, "10004");
    ring.dropOldest(9998);
    EXPECT_EQ(ring.size(), 2u);
    EXPECT_EQ(ring.at(0).summary, "10003");

    Bytes bytes = {0x03, 0xA8, 0x16, 0xDA};
    for (char c : std::string("admin-and-more")) bytes.push_back(static_cast<std::uint8_t>(c));
    EXPECT_EQ(hexAsciiDump(bytes),
              "    0000  03 A8 16 DA 61 64 6D 69 6E 2D 61 6E 64 2D 6D 6F  ....admin-and-mo\n"
              "    0010  72 65                                            re\n");
    EXPECT_EQ(hexText(bytes, 3), "03 A8 16 ...");
}
