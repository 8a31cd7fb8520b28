// The envelope shared by every management datagram (UDP, device port 2002):
//
//   03 A8 16 DA                         IP-addressed form
//   03 A8 16 DB m1..m6 02               MAC-addressed form (device MAC, addressing kind 2)
//   idLen id.. pwLen pw..               credentials, one length byte each
//   LL LL  RR RR  CC  body..            length (counts itself .. end of body), request id, command
//   SS SS                               byte sum of everything before, mod 65536
//
// Every 16-bit field is in device byte order (big-endian from product number 50 up).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/common/bytes.h"

namespace tarn {

constexpr std::uint16_t kDevicePort = 2002;
constexpr std::uint8_t kSignature0 = 0x03, kSignature1 = 0xA8, kSignature2 = 0x16;
constexpr std::uint8_t kFormIpAddressed = 0xDA;
constexpr std::uint8_t kFormMacAddressed = 0xDB;
constexpr std::uint8_t kRequestAddressingKind = 0x02;
constexpr int kMaxCredentialLength = 255;

enum class CommandCode : std::uint8_t {
    GetValues = 0xA0,
    GetValuesReply = 0xA2,
    SetValues = 0xB0,
    SetValuesReply = 0xB2,
    AuthFailed = 0xC0,
    Reboot = 0xF0,
    RebootDone = 0xFF,
};

using MacAddress = std::array<std::uint8_t, 6>;
using RequestIdBytes = std::array<std::uint8_t, 2>;

// Plain byte sum modulo 65536.
std::uint16_t checksum16(ByteView bytes);

// The 4-byte discovery probe: 03 A8 16 DA.
Bytes discoveryProbe();

// "00:1A:2B:3C:4D:5E" (upper case) from six bytes, and back (either case; exactly six ':'-separated pairs).
std::string formatMacText(const MacAddress& mac);
// The same text written at `out` (kMacTextSize characters, no terminator); returns its end.
constexpr std::size_t kMacTextSize = 17;
char* writeMacText(const MacAddress& mac, char* out);
std::optional<MacAddress> parseMacText(const std::string& text);

// Request ids: 15 bits from the system's random source (getrandom), mapped to 10..32777 as devices
// have always seen them. Drawn afresh for every request, so that no run starts where another did and
// an id cannot be told from the ones before it.
std::uint16_t randomRequestId();
// Where a session takes its request ids from: randomRequestId, or a fixed sequence in tests.
using RequestIdSource = std::function<std::uint16_t()>;

struct RequestAddress {
    bool macForm = false;  // the device's addressing kind is 2
    MacAddress mac{};
    std::string id;
    std::string password;
};

struct BuiltRequest {
    Bytes bytes;
    RequestIdBytes requestId{};
};

// Builds one complete request datagram. Empty when the ID or the password is longer than 255 bytes.
std::optional<BuiltRequest> buildRequest(const RequestAddress& address, CommandCode command, ByteView body,
                                         ByteOrder order, std::uint16_t requestId);

// The head of a reply, read strictly within the received bytes.
struct ReplyHeader {
    bool macForm = false;
    MacAddress mac{};  // the MAC of the MAC-addressed form
    std::string id;
    std::string password;
    std::uint16_t length = 0;  // as received
    RequestIdBytes requestId{};
    std::uint8_t code = 0;
    ByteView body;          // the body bytes that were actually received (at most length - 5)
    bool complete = false;  // the body and the checksum lie entirely inside the datagram
    std::uint16_t receivedChecksum = 0;
    std::uint16_t computedChecksum = 0;
};

// Empty when the signature is wrong or the datagram ends before the reply code.
std::optional<ReplyHeader> parseReplyHeader(ByteView datagram, ByteOrder order);

}  // namespace tarn
