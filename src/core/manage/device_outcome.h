// The outcome of one device in a management operation (Get, Set, Reboot, Back up, Apply): what the
// Results dock lists, what `tarnctl fleet` prints and writes into fleet.json.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/discovery/device_entry.h"

namespace tarn {

// Duplicate: two devices answered with one MAC, and neither was touched. Cancelled: the run was
// stopped before it reached the device.
enum class OutcomeStatus { Ok, Refused, NoReply, NoDefinitions, Failed, Skipped, Duplicate, Cancelled };

// "ok", "refused", "no-reply", "no-definitions", "failed", "skipped", "duplicate", "cancelled": the
// words of fleet.json.
std::string_view statusName(OutcomeStatus status);

struct DeviceOutcome {
    DeviceEntry device;
    std::string operation;  // "Get", "Set", "Reboot", "Back up", "Apply"
    OutcomeStatus status = OutcomeStatus::Ok;
    std::string message;  // what went wrong, or what was done; may be empty for Ok
    std::string file;     // the file written (Back up) or applied (Apply), when there is one
};

using OperationOutcomes = std::vector<DeviceOutcome>;

// What a run keeps of a device's outcomes while its session works (a retry after a refusal, the
// parts of a long get or set): a later outcome replaces an earlier one, except that a refusal stands
// unless the device then took the operation.
void keepOutcome(std::optional<DeviceOutcome>& kept, const DeviceOutcome& now);

}  // namespace tarn
