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
        case ProbeVerdict::TooLarge:
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

// Only the password fields are masked, and their length with them: the envelope's password and its
// length byte, and the value (with its length) of a device's own-password record. Other fields stay
// as they are, even when they happen to equal the password (a user ID equal to it, for instance);
// only inside a whole block, whose layout needs the definitions, is the password found by its bytes.
Bytes maskManagementPasswords(ByteView d) {
    Bytes out(d.begin(), d.end());
    ByteOrder order{};
    const auto h = parseEitherOrder(d, &order);
    if (!h) return out;
    const auto mask = [&](std::size_t from, std::size_t count) {
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(from), count, kMaskedByte);
    };
    // The envelope: signature, ID length and ID, then the password length and the password.
    const std::size_t passwordLengthAt = (h->macForm ? 11u : 4u) + 1 + h->id.size();
    mask(passwordLengthAt, 1 + h->password.size());
    const auto code = static_cast<CommandCode>(h->code);
    if (code == CommandCode::SetValues || code == CommandCode::GetValuesReply) {
        for (const ValueEntry& e : readValueEntries(h->body, order).entries) {
            const auto valueAt = static_cast<std::size_t>(e.value.data() - d.data());
            // The value and the two length bytes before it.
            if (isOwnPasswordRecord(e.id)) mask(valueAt - 2, 2 + e.value.size());
            // A block holds the device's password among its values, where only the definitions
            // know; it is found there by its bytes.
            const std::string& password = h->password;
            if (!isClassBlock(e.id) || password.empty()) continue;
            for (auto it = e.value.begin();
                 (it = std::search(it, e.value.end(), password.begin(), password.end())) != e.value.end(); ++it)
                mask(valueAt + static_cast<std::size_t>(it - e.value.begin()), password.size());
        }
    }
    return out;
}

}  // namespace tarn
