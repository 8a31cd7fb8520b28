#include "core/manage/outcome_review.h"

#include <algorithm>

namespace tarn {

namespace {

std::string devices(int n) { return std::to_string(n) + (n == 1 ? " device" : " devices"); }

}  // namespace

bool isFailure(OutcomeStatus status) {
    switch (status) {
        case OutcomeStatus::Ok:
        case OutcomeStatus::Skipped:
            return false;
        case OutcomeStatus::Refused:
        case OutcomeStatus::NoReply:
        case OutcomeStatus::NoDefinitions:
        case OutcomeStatus::Failed:
            return true;
    }
    return true;
}

int failureCount(const OperationOutcomes& outcomes) {
    return static_cast<int>(
        std::count_if(outcomes.begin(), outcomes.end(), [](const DeviceOutcome& o) { return isFailure(o.status); }));
}

OperationOutcomes failuresFirst(OperationOutcomes outcomes) {
    std::stable_partition(outcomes.begin(), outcomes.end(), [](const DeviceOutcome& o) { return isFailure(o.status); });
    return outcomes;
}

std::string outcomeSummary(const OperationOutcomes& outcomes) {
    if (outcomes.empty()) return {};
    const int failed = failureCount(outcomes);
    const int skipped = static_cast<int>(std::count_if(
        outcomes.begin(), outcomes.end(), [](const DeviceOutcome& o) { return o.status == OutcomeStatus::Skipped; }));
    const int total = static_cast<int>(outcomes.size());
    std::string text = outcomes.front().operation + ": ";
    if (failed > 0)
        text += std::to_string(failed) + " of " + devices(total) + " failed";
    else if (skipped == total)
        text += devices(total) + ", all skipped";
    else
        text += devices(total - skipped) + ", all ok";
    if (skipped > 0 && skipped < total) text += ", " + std::to_string(skipped) + " skipped";
    return text;
}

}  // namespace tarn
