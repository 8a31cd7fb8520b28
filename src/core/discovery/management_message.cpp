#include "core/discovery/management_message.h"

#include <algorithm>
#include <random>

namespace tarn {

std::uint16_t checksum16(ByteView bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

Bytes discoveryProbe() { return {kSignature0, kSignature1, kSignature2, kFormIpAddressed}; }

char* writeMacText(const MacAddress& mac, char* out) {
    // "%02X:" six times without printf: discovery formats one per reply, thousands in a burst.
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0) *out++ = ':';
        *out++ = kHex[mac[i] >> 4];
        *out++ = kHex[mac[i] & 0x0F];
    }
    return out;
}

std::string formatMacText(const MacAddress& mac) {
    std::string text(kMacTextSize, ':');
    writeMacText(mac, text.data());
    return text;
}

std::optional<MacAddress> parseMacText(const std::string& text) {
    if (text.size() != 17) return std::nullopt;
    MacAddress mac{};
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (int i = 0; i < 6; ++i) {
        const int hi = hex(text[3 * i]);
        const int lo = hex(text[3 * i + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && text[3 * i + 2] != ':')) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return mac;
}

std::uint16_t randomRequestId() {
    thread_local std::random_device source;  // getrandom(2) on Linux
    return static_cast<std::uint16_t>((source() & 0x7FFF) + 10);
}

std::optional<BuiltRequest> buildRequest(const RequestAddress& address, CommandCode command, ByteView body,
                                         ByteOrder order, std::uint16_t requestId) {
    if (address.id.size() > kMaxCredentialLength || address.password.size() > kMaxCredentialLength) return std::nullopt;
    BuiltRequest out;
    Bytes& b = out.bytes;
    b.reserve(32 + address.id.size() + address.password.size() + body.size());
    for (std::uint8_t v : {kSignature0, kSignature1, kSignature2}) b.push_back(v);
    b.push_back(address.macForm ? kFormMacAddressed : kFormIpAddressed);
    if (address.macForm) {
        b.insert(b.end(), address.mac.begin(), address.mac.end());
        b.push_back(kRequestAddressingKind);
    }
    for (const std::string* text : {&address.id, &address.password}) {
        b.push_back(static_cast<std::uint8_t>(text->size()));
        b.insert(b.end(), text->begin(), text->end());
    }
    const std::size_t lengthAt = b.size();
    b.resize(b.size() + 2);
    appendU16(b, requestId, order);
    out.requestId = {b[b.size() - 2], b[b.size() - 1]};
    b.push_back(static_cast<std::uint8_t>(command));
    b.insert(b.end(), body.begin(), body.end());
    writeU16(b.data() + lengthAt, static_cast<std::uint16_t>(b.size() - lengthAt), order);
    appendU16(b, checksum16(b), order);
    return out;
}

std::optional<ReplyHeader> parseReplyHeader(ByteView d, ByteOrder order) {
    if (d.size() < 4 || d[0] != kSignature0 || d[1] != kSignature1 || d[2] != kSignature2) return std::nullopt;
    if (d[3] != kFormIpAddressed && d[3] != kFormMacAddressed) return std::nullopt;
    ReplyHeader h;
    h.macForm = d[3] == kFormMacAddressed;
    if (h.macForm && d.size() >= 10) std::copy(d.begin() + 4, d.begin() + 10, h.mac.begin());
    std::size_t pos = h.macForm ? 11 : 4;
    for (std::string* text : {&h.id, &h.password}) {
        if (pos >= d.size()) return std::nullopt;
        const std::size_t n = d[pos++];
        if (pos + n > d.size()) return std::nullopt;
        text->assign(d.begin() + pos, d.begin() + pos + n);
        pos += n;
    }
    const std::size_t lengthAt = pos;
    if (lengthAt + 5 > d.size()) return std::nullopt;
    h.length = readU16(d.data() + lengthAt, order);
    h.requestId = {d[lengthAt + 2], d[lengthAt + 3]};
    h.code = d[lengthAt + 4];
    const std::size_t bodyAt = lengthAt + 5;
    const std::size_t checksumAt = lengthAt + h.length;  // the length counts itself .. end of body
    const std::size_t bodyEnd = std::min<std::size_t>(std::max(checksumAt, bodyAt), d.size());
    h.body = d.subspan(bodyAt, bodyEnd - bodyAt);
    h.complete = h.length >= 5 && checksumAt + 2 <= d.size();
    if (h.complete) {
        h.receivedChecksum = readU16(d.data() + checksumAt, order);
        h.computedChecksum = checksum16(d.first(checksumAt));
    }
    return h;
}

}  // namespace tarn
