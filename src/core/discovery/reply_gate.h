// Which datagrams a management link passes on to the session that sent its requests. Anyone on the
// LAN can send a datagram that looks like a reply; one counts only when all of these hold:
//
//   - it comes from the device asked: from the address its request went to, or, for a request
//     broadcast to a MAC-addressed device, in the MAC-addressed form and with that device's MAC;
//   - its request id is that of a request still outstanding: sent by this link and not answered yet
//     (the ids come from a random source, so they cannot be guessed from an earlier run);
//   - its code is the command's own reply code, or the refusal (C0) that any command may get.
//
// Everything else is dropped and counted by its reason. The gate remembers the last kCapacity
// requests; an older one that was never answered is no longer outstanding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/common/bytes.h"
#include "core/discovery/management_message.h"

namespace tarn {

enum class ReplyVerdict { Accepted, NotAReply, NotOutstanding, WrongSender, WrongDevice, WrongCode };
inline constexpr std::size_t kReplyVerdictCount = 6;

// Why a datagram was dropped, for the Traffic window and --trace ("ignored: " + this).
const char* replyVerdictText(ReplyVerdict verdict);

// The code a device answers a command with, besides the refusal.
CommandCode replyCodeOf(CommandCode command);

class ReplyGate {
public:
    static constexpr std::size_t kCapacity = 4096;

    // Notes a request that was sent to `address` (dotted; empty: the broadcast address). A request in
    // the MAC-addressed form goes to a broadcast address. False, and nothing noted, when the bytes are not a request.
    bool noteSent(ByteView request, std::string_view address);
    // The verdict on a received datagram from `sender` (dotted); an accepted reply answers its
    // request, which is no longer outstanding then.
    ReplyVerdict check(ByteView datagram, std::string_view sender);

    std::uint64_t count(ReplyVerdict verdict) const { return counts_[static_cast<std::size_t>(verdict)]; }
    std::uint64_t dropped() const;
    std::size_t outstanding() const { return byId_.size(); }

private:
    struct Request {
        bool live = false;
        bool broadcast = false;
        RequestIdBytes id{};
        MacAddress mac{};
        std::string address;
        std::uint8_t command = 0;
        std::uint64_t serial = 0;  // the order of sending
    };
    static std::uint16_t key(const RequestIdBytes& id) { return static_cast<std::uint16_t>(id[0] << 8 | id[1]); }
    void forget(std::uint16_t id, std::size_t slot);
    ReplyVerdict verdict(ReplyVerdict v) {
        ++counts_[static_cast<std::size_t>(v)];
        return v;
    }

    std::vector<Request> slots_ = std::vector<Request>(kCapacity);
    std::size_t next_ = 0;  // the slot the next request takes
    std::uint64_t sent_ = 0;
    std::unordered_multimap<std::uint16_t, std::size_t> byId_;  // the live slots by request id
    std::array<std::uint64_t, kReplyVerdictCount> counts_{};
};

}  // namespace tarn
