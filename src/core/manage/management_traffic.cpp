#include "core/manage/management_traffic.h"

#include <algorithm>
#include <cstdio>

#include "core/discovery/management_message.h"
#include "core/discovery/probe_reply.h"
#include "core/manage/management_requests.h"
#include "core/params/parameter_entry.h"

namespace tarn {

namespace {

const char* commandName(std::uint8_t code) {
    switch (static_cast<CommandCode>(code)) {
        case CommandCode::GetValues:
            return "GetValues";
        case CommandCode::GetValuesReply:
            return "GetValuesReply";
        case CommandCode::SetValues:
            return "SetValues";
        case CommandCode::SetValuesReply:
            return "SetValuesReply";
        case CommandCode::AuthFailed:
            return "AuthFailed";
        case CommandCode::Reboot:
            return "Reboot";
        case CommandCode::RebootDone:
            return "RebootDone";
    }
    return nullptr;
}

// The byte order whose length field and checksum agree with the datagram (big-endian when neither
// does); the order is the device's and is not written in the datagram itself.
std::optional<ReplyHeader> parseEitherOrder(ByteView d, ByteOrder* order) {
    for (ByteOrder o : {ByteOrder::Big, ByteOrder::Little}) {
        auto h = parseReplyHeader(d, o);
        if (h && h->complete && h->receivedChecksum == h->computedChecksum) {
            *order = o;
            return h;
        }
    }
    *order = ByteOrder::Big;
    return parseReplyHeader(d, ByteOrder::Big);
}

std::string probeReplySummary(ByteView d, const std::string& from) {
    const ProbeOutcome o = readProbeReply(d, from, false, nullptr);
    switch (o.verdict) {
        case ProbeVerdict::Accepted: {
            std::string s = "ProbeReply  " + o.entry.name + "  " + o.entry.mac + "  product " + o.entry.productId +
                            "  version " + o.entry.version;
            if (o.entry.addressingKind != 1) s += "  kind " + std::to_string(o.entry.addressingKind);
            if (o.checksumError) s += "  bad checksum";
            return s + "  from " + from;
        }
        case ProbeVerdict::UnknownProduct:
            return "ProbeReply  unknown product  from " + from;
        case ProbeVerdict::Truncated:
            return "ProbeReply  cut short  from " + from;
        case ProbeVerdict::Duplicate:
        case ProbeVerdict::Ignored:
            break;
    }
    return "not a probe reply  from " + from;
}

}  // namespace

std::string managementSummary(ByteView d, TrafficDirection direction, ManagementChannel channel,
                              const std::string& peer) {
    const bool sent = direction == TrafficDirection::Sent;
    const std::string where = (sent ? "  to " : "  from ") + peer;
    const Bytes probe = discoveryProbe();
    if (std::equal(d.begin(), d.end(), probe.begin(), probe.end())) return "DiscoveryProbe" + where;
    if (channel == ManagementChannel::Discovery && !sent) return probeReplySummary(d, peer);
    ByteOrder order{};
    const auto h = parseEitherOrder(d, &order);
    if (!h) return (sent ? "not a management request" : "not a management reply") + where;
    const char* name = commandName(h->code);
    char head[48];
    if (name)
        std::snprintf(head, sizeof head, "%s  rid 0x%02X%02X", name, h->requestId[0], h->requestId[1]);
    else
        std::snprintf(head, sizeof head, "command 0x%02X  rid 0x%02X%02X", h->code, h->requestId[0], h->requestId[1]);
    std::string s = head;
    if (h->macForm) {
        MacAddress mac{};
        std::copy_n(d.begin() + 4, 6, mac.begin());
        s += "  MAC " + formatMacText(mac);
    }
    s += where;
    if (!h->complete)
        s += "  cut short";
    else if (h->receivedChecksum != h->computedChecksum)
        s += "  bad checksum";
    return s;
}

Bytes maskManagementPasswords(ByteView d) {
    Bytes out(d.begin(), d.end());
    ByteOrder order{};
    const auto h = parseEitherOrder(d, &order);
    if (!h) return out;
    // The envelope: signature, ID length and ID, then the password length and the password.
    const std::size_t passwordAt = (h->macForm ? 11u : 4u) + 1 + h->id.size() + 1;
    std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(passwordAt), h->password.size(), kMaskedByte);
    const std::size_t bodyAt = static_cast<std::size_t>(h->body.data() - d.data());
    const auto maskInBody = [&](std::size_t from, std::size_t count) {
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(bodyAt + from), count, kMaskedByte);
    };
    const std::string& password = h->password;
    if (!password.empty()) {
        const auto body = h->body;
        for (auto it = body.begin(); (it = std::search(it, body.end(), password.begin(), password.end())) != body.end();
             ++it)
            maskInBody(static_cast<std::size_t>(it - body.begin()), password.size());
    }
    const auto code = static_cast<CommandCode>(h->code);
    if (code == CommandCode::SetValues || code == CommandCode::GetValuesReply) {
        for (const ValueEntry& e : readValueEntries(h->body, order).entries) {
            if (isOwnPasswordRecord(e.id) && !e.value.empty())
                maskInBody(static_cast<std::size_t>(e.value.data() - h->body.data()), e.value.size());
        }
    }
    return out;
}

}  // namespace tarn
