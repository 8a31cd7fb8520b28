// What a reply means: the reply table that pairs a reply code with the command in flight, and the
// update each entry applies to the state blocks when the result character is "0".
//
// Reply payload positions count from the first payload character:
//   p[0] p[1]  reply code      p[2]  result character      p[3]..  reply data
// The negative acknowledgement "00NAK" has no result character of its own.
//
// Every update reads only the positions the received payload actually has: a reply shorter than
// its layout is still reported, but changes only what it contains. Fixed-width text fields (ADC
// values and levels, serial number, firmware version) change only when complete.
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
    bool shortReply = false;  // the payload was shorter than the entry's layout
};

// Matches one accepted reply payload (not a NAK) against the command in flight and, for a matched
// reply whose result is "0", applies its update.
IoReplyOutcome applyIoReply(std::string_view payload, int commandInFlight, IoConfig& config, IoStatus& status);

}  // namespace tarn
