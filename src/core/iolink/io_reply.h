// What a reply means: the reply table that pairs a reply code with the command in flight, and the
// update each entry applies to the state blocks when the result character is "0".
//
// A reply counts only when its code is the one its command expects. (The device's table once took
// an enable-status reply "12" whatever command was in flight; a stray or late "12" then passed for
// a status, a switch or a mode change. Here "12" answers only the enable-status read and write.)
//
// Reply payload positions count from the first payload character:
//   p[0] p[1]  reply code      p[2]  result character      p[3]..  reply data
// The negative acknowledgement "00NAK" has no result character of its own.
//
// A good reply ("0") shorter than its layout changes nothing and fails its request: what it would
// show is not what the device said. Updates still read only the positions the payload has.
#pragma once

#include <string_view>

#include "core/iolink/io_state.h"

namespace tarn {

enum class IoReplyUpdate { Status, None, Macro, DelayPulse, AdcLevel, EnableStatus, PowerStoppage, SerialFirmware };

struct IoReplyEntry {
    std::string_view code;
    bool (*matchesCommand)(int index);
    IoReplyUpdate update;
    std::size_t fullLength;  // payload length of a complete reply with result "0"
};

// The table entry that a reply code answers while `commandInFlight` is outstanding, testing the
// entries in table order; null when none matches (the reply is then ignored).
const IoReplyEntry* findIoReplyEntry(std::string_view payload, int commandInFlight);

bool isIoNak(std::string_view payload);

struct IoReplyOutcome {
    bool matched = false;
    int result = 0;           // the result character widened as a signed byte, or 0 when missing
    bool shortReply = false;  // a good reply shorter than the entry's layout: failed, nothing applied
};

// Matches one accepted reply payload (not a NAK) against the command in flight and, for a matched
// complete reply whose result is "0", applies its update.
IoReplyOutcome applyIoReply(std::string_view payload, int commandInFlight, IoConfig& config, IoStatus& status);

}  // namespace tarn
