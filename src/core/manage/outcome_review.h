// How the outcomes of an operation are reviewed: which count as failures, the reports of one
// command merged, the failed devices first (so that 3 silent devices of 40 show at a glance), and
// a one-line summary.
#pragma once

#include <string>
#include <vector>

#include "core/manage/device_outcome.h"

namespace tarn {

// Refused, no reply, no definitions and failed are failures; ok and skipped are not.
bool isFailure(OutcomeStatus status);
int failureCount(const OperationOutcomes& outcomes);

// One command of the operator can end in several reports: a refused set goes again to the devices
// that refused it, a set is followed by its reboot. A later report replaces what an earlier one
// said about the same device (its MAC and address) in the same operation (Get, Set, ...); other
// devices keep their line, new ones are added at the end. Every line of one report stays a line of
// its own: two devices that answered with one MAC are two lines.
void mergeOutcomes(OperationOutcomes& shown, const OperationOutcomes& report);

// The failures first, then the rest; each part in the order the operation went through the devices.
OperationOutcomes failuresFirst(OperationOutcomes outcomes);

// One part per operation, in the order they came: "Set: 3 of 40 devices failed; Reboot: 37
// devices, all ok", "Back up: 1 device, all ok". Skipped devices are counted apart ("2 skipped").
// Empty for no outcomes.
std::string outcomeSummary(const OperationOutcomes& outcomes);

}  // namespace tarn
