// Reading one discovery reply. Layout (P = 10 for the DA form, 11 for the DB form):
//
//   0  03 A8 16        signature
//   3  DA | DB         form
//   4  m1..m6          MAC
//   10 kind            addressing kind (DB form only)
//   P  product id      0x4A, 0x4B or 0x4C
//   P+1 major, P+2 minor, P+3 name length n, P+4 name (n bytes, a 00 ends it early)
//   P+4+n  SS SS       byte sum of 0 .. P+3+n, high byte first
//
// Everything is read strictly inside the received datagram.
#pragma once

#include <functional>
#include <string_view>

#include "core/common/bytes.h"
#include "core/discovery/device_entry.h"
#include "core/discovery/management_message.h"

namespace tarn {

// The longest reply the layout allows: the DB form's head, a name of 255 bytes (its length is one
// byte) and the checksum. The discovery sockets read this much, so a device with a long name is
// listed; a longer datagram is not a probe reply. (Devices were once read into 100 bytes, which
// dropped every name of more than 84 bytes without a word.)
constexpr std::size_t kProbeReplyBufferSize = 11 + 4 + 255 + 2;

enum class ProbeVerdict {
    Accepted,        // list the device (possibly with a checksum error)
    Ignored,         // wrong signature or form
    TooLarge,        // larger than a probe reply can be
    Duplicate,       // a device with this MAC is already listed
    UnknownProduct,  // product id other than 74, 75, 76
    Truncated,       // the datagram ends inside the fields or the name
};

struct ProbeOutcome {
    ProbeVerdict verdict = ProbeVerdict::Ignored;
    DeviceEntry entry;           // filled when Accepted
    bool checksumError = false;  // Accepted, but the checksum differs or is missing
};

// isListed(macText) is the duplicate test (case-insensitive MAC comparison against the listed devices).
ProbeOutcome readProbeReply(ByteView datagram, std::string senderIp, bool quickConnectActive,
                            const std::function<bool(std::string_view mac)>& isListed);
// The same into an entry of the caller's, filled when Accepted: read into again and again, its
// strings keep their room, so that a burst of replies costs no allocation per reply.
ProbeVerdict readProbeReply(ByteView datagram, std::string_view senderIp, bool quickConnectActive,
                            const std::function<bool(std::string_view mac)>& isListed, DeviceEntry& entry,
                            bool& checksumError);

// A reply as a device sends it; built by the simulator and by tests.
struct ProbeReplyContent {
    bool macForm = false;
    MacAddress mac{};
    std::uint8_t addressingKind = 1;  // DB form only
    std::uint8_t productId = 74;
    std::uint8_t major = 1;
    std::uint8_t minor = 0;
    std::string name;  // raw bytes; may hold a 00
    bool corruptChecksum = false;
};
Bytes buildProbeReply(const ProbeReplyContent& content);

}  // namespace tarn
