#include "core/discovery/reply_gate.h"

#include <numeric>

namespace tarn {

const char* replyVerdictText(ReplyVerdict verdict) {
    switch (verdict) {
        case ReplyVerdict::Accepted:
            return "accepted";
        case ReplyVerdict::NotAReply:
            return "not a management reply";
        case ReplyVerdict::NotOutstanding:
            return "no request outstanding with this id";
        case ReplyVerdict::WrongSender:
            return "not from the address the request went to";
        case ReplyVerdict::WrongDevice:
            return "not from the MAC the request went to";
        case ReplyVerdict::WrongCode:
            return "not the reply code of the request";
    }
    return "?";
}

CommandCode replyCodeOf(CommandCode command) {
    switch (command) {
        case CommandCode::GetValues:
            return CommandCode::GetValuesReply;
        case CommandCode::SetValues:
            return CommandCode::SetValuesReply;
        case CommandCode::Reboot:
            return CommandCode::RebootDone;
        default:
            return command;
    }
}

bool ReplyGate::noteSent(ByteView request, std::string_view address) {
    // The id and the code sit where the credentials end, whatever the byte order.
    const auto head = parseReplyHeader(request, ByteOrder::Little);
    if (!head) return false;
    Request& r = slots_[next_];
    if (r.live) forget(key(r.id), next_);  // the oldest request, never answered
    r.live = true;
    r.id = head->requestId;
    // A MAC-addressed device is reached by a broadcast (the network's, or its subnet's): its reply may
    // come from any address, and carries its MAC.
    r.broadcast = head->macForm || address.empty();
    r.mac = head->mac;
    r.address = address;
    r.command = head->code;
    r.serial = sent_++;
    byId_.emplace(key(head->requestId), next_);
    next_ = (next_ + 1) % kCapacity;
    return true;
}

void ReplyGate::forget(std::uint16_t id, std::size_t slot) {
    slots_[slot].live = false;
    auto [first, last] = byId_.equal_range(id);
    for (auto it = first; it != last; ++it) {
        if (it->second == slot) {
            byId_.erase(it);
            return;
        }
    }
}

ReplyVerdict ReplyGate::check(ByteView datagram, std::string_view sender) {
    const auto head = parseReplyHeader(datagram, ByteOrder::Little);
    if (!head) return verdict(ReplyVerdict::NotAReply);
    const std::uint16_t id = key(head->requestId);
    auto [first, last] = byId_.equal_range(id);
    if (first == last) return verdict(ReplyVerdict::NotOutstanding);
    // Two outstanding requests may share an id (each session draws its own): the reply answers the
    // first one sent that it fits; else the reason is that of the request it came closest to.
    ReplyVerdict closest = ReplyVerdict::WrongSender;
    std::size_t answered = kCapacity;
    for (auto it = first; it != last; ++it) {
        const Request& r = slots_[it->second];
        if (r.broadcast ? !(head->macForm && head->mac == r.mac) : sender != r.address) {
            if (r.broadcast && closest == ReplyVerdict::WrongSender) closest = ReplyVerdict::WrongDevice;
            continue;
        }
        const auto code = static_cast<CommandCode>(head->code);
        if (code != CommandCode::AuthFailed && code != replyCodeOf(static_cast<CommandCode>(r.command))) {
            closest = ReplyVerdict::WrongCode;
            continue;
        }
        if (answered == kCapacity || r.serial < slots_[answered].serial) answered = it->second;
    }
    if (answered == kCapacity) return verdict(closest);
    forget(id, answered);
    return verdict(ReplyVerdict::Accepted);
}

std::uint64_t ReplyGate::dropped() const {
    return std::accumulate(counts_.begin(), counts_.end(), std::uint64_t{0}) -
           counts_[static_cast<std::size_t>(ReplyVerdict::Accepted)];
}

}  // namespace tarn
