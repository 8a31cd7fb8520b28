// Fuzz target: the management link's gate over a stream of sent requests and received datagrams,
// each with its address, against a plain model of what a reply may answer.
//
//   record: op (even: sent, odd: received) | address byte (0: broadcast) | length | bytes...
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "core/discovery/reply_gate.h"

namespace {

struct Sent {
    tarn::RequestIdBytes id;
    bool broadcast;
    tarn::MacAddress mac;
    std::string address;
    tarn::CommandCode reply;
    bool live = true;
};

// What the gate must decide, by a linear search of the requests it remembers: the first one sent that
// the reply fits.
bool modelTakes(std::deque<Sent>& sent, tarn::ByteView datagram, const std::string& sender) {
    const auto head = tarn::parseReplyHeader(datagram, tarn::ByteOrder::Little);
    if (!head) return false;
    const auto code = static_cast<tarn::CommandCode>(head->code);
    for (Sent& s : sent) {
        const bool device = s.broadcast ? head->macForm && head->mac == s.mac : sender == s.address;
        if (s.live && s.id == head->requestId && device && (code == s.reply || code == tarn::CommandCode::AuthFailed)) {
            s.live = false;
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarn::ReplyGate gate;
    std::deque<Sent> model;
    std::size_t pos = 0;
    while (pos + 3 <= size) {
        const std::uint8_t op = data[pos];
        const std::string address = data[pos + 1] == 0 ? std::string() : "127.0.0." + std::to_string(data[pos + 1]);
        const std::size_t length = std::min<std::size_t>(data[pos + 2], size - pos - 3);
        const tarn::ByteView bytes(data + pos + 3, length);
        pos += 3 + length;
        if (op % 2 == 0) {
            const bool noted = gate.noteSent(bytes, address);
            const auto head = tarn::parseReplyHeader(bytes, tarn::ByteOrder::Little);
            if (noted != head.has_value()) __builtin_trap();
            if (!noted) continue;
            // The gate forgets the oldest request past its capacity, answered or not: the model
            // keeps the same window, in the order of sending.
            model.push_back({head->requestId, head->macForm || address.empty(), head->mac, address,
                             tarn::replyCodeOf(static_cast<tarn::CommandCode>(head->code))});
            if (model.size() > tarn::ReplyGate::kCapacity) model.pop_front();
        } else {
            const bool taken = gate.check(bytes, address) == tarn::ReplyVerdict::Accepted;
            if (taken != modelTakes(model, bytes, address)) __builtin_trap();
        }
        if (gate.outstanding() > tarn::ReplyGate::kCapacity) __builtin_trap();
    }
    return 0;
}
