// How the outcomes of one operation are reviewed: which count as failures, the failed devices
// first (so that 3 silent devices of 40 show at a glance), and a one-line summary.
#pragma once

#include <string>

#include "core/manage/device_outcome.h"

namespace tarn {

// Refused, no reply, no definitions and failed are failures; ok and skipped are not.
bool isFailure(OutcomeStatus status);
int failureCount(const OperationOutcomes& outcomes);

// The failures first, then the rest; each part in the order the operation went through the devices.
OperationOutcomes failuresFirst(OperationOutcomes outcomes);

// "Set: 3 of 40 devices failed", "Back up: 12 devices, all ok", "Get: 1 device, all ok"; skipped
// devices are counted apart ("2 skipped"). Empty for no outcomes.
std::string outcomeSummary(const OperationOutcomes& outcomes);

}  // namespace tarn
