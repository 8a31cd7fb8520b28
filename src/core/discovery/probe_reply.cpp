#include "core/discovery/probe_reply.h"

#include <algorithm>

namespace tarn {

namespace {

bool isKnownProduct(std::uint8_t id) { return id == 0x4A || id == 0x4B || id == 0x4C; }

// The decimal digits of a byte at `out`; returns the end. A burst of replies formats two of these
// each, so without the temporaries of std::to_string.
char* decimal(std::uint8_t value, char* out) {
    if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
    if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

}  // namespace

ProbeVerdict readProbeReply(ByteView d, std::string_view senderIp, bool quickConnectActive,
                            const std::function<bool(std::string_view mac)>& isListed, DeviceEntry& e,
                            bool& checksumError) {
    if (d.size() > kProbeReplyBufferSize) return ProbeVerdict::TooLarge;
    if (d.size() < 4 || d[0] != kSignature0 || d[1] != kSignature1 || d[2] != kSignature2) return ProbeVerdict::Ignored;
    if (d[3] != kFormIpAddressed && d[3] != kFormMacAddressed) return ProbeVerdict::Ignored;
    const bool macForm = d[3] == kFormMacAddressed;
    const std::size_t p = macForm ? 11 : 10;
    // Everything up to and including the name length must have arrived.
    if (d.size() < p + 4) return ProbeVerdict::Truncated;
    MacAddress mac{};
    std::copy_n(d.begin() + 4, 6, mac.begin());
    char macText[kMacTextSize];
    writeMacText(mac, macText);
    if (isListed && isListed(std::string_view(macText, kMacTextSize))) return ProbeVerdict::Duplicate;
    if (!isKnownProduct(d[p])) return ProbeVerdict::UnknownProduct;
    const std::size_t n = d[p + 3];
    const std::size_t nameAt = p + 4;
    if (nameAt + n > d.size()) return ProbeVerdict::Truncated;
    // Every text is assigned, so that the strings of an entry read into again keep their room.
    const auto nameBegin = d.begin() + static_cast<std::ptrdiff_t>(nameAt);
    e.name.assign(nameBegin, std::find(nameBegin, nameBegin + static_cast<std::ptrdiff_t>(n), 0));
    e.ip.assign(senderIp);
    e.mac.assign(macText, kMacTextSize);
    // "%02d" of the product id (74..76) and "%d.%d" of the version.
    char text[8];
    e.productId.assign(text, decimal(d[p], text));
    char* end = decimal(d[p + 1], text);
    *end++ = '.';
    e.version.assign(text, decimal(d[p + 2], end));
    e.addressingKind = macForm ? d[10] : 1;
    e.foundByTypedAddress = quickConnectActive;
    e.broadcastAddress.clear();
    // The checksum follows the full declared name; a reply that stops before it cannot be verified.
    const std::size_t sumAt = nameAt + n;
    checksumError = sumAt + 2 > d.size() || readU16(d.data() + sumAt, ByteOrder::Big) != checksum16(d.first(sumAt));
    return ProbeVerdict::Accepted;
}

ProbeOutcome readProbeReply(ByteView datagram, std::string senderIp, bool quickConnectActive,
                            const std::function<bool(std::string_view mac)>& isListed) {
    ProbeOutcome out;
    out.verdict = readProbeReply(datagram, senderIp, quickConnectActive, isListed, out.entry, out.checksumError);
    return out;
}

Bytes buildProbeReply(const ProbeReplyContent& content) {
    Bytes b;
    b.reserve(kProbeReplyBufferSize + 256);
    for (std::uint8_t v : {kSignature0, kSignature1, kSignature2}) b.push_back(v);
    b.push_back(content.macForm ? kFormMacAddressed : kFormIpAddressed);
    b.insert(b.end(), content.mac.begin(), content.mac.end());
    if (content.macForm) b.push_back(content.addressingKind);
    b.push_back(content.productId);
    b.push_back(content.major);
    b.push_back(content.minor);
    const std::size_t n = std::min<std::size_t>(content.name.size(), 255);
    b.push_back(static_cast<std::uint8_t>(n));
    b.insert(b.end(), content.name.begin(), content.name.begin() + static_cast<std::ptrdiff_t>(n));
    std::uint16_t sum = checksum16(b);
    if (content.corruptChecksum) sum = static_cast<std::uint16_t>(sum ^ 0x5A5A);
    appendU16(b, sum, ByteOrder::Big);
    return b;
}

}  // namespace tarn
