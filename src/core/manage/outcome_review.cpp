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
        case OutcomeStatus::Cancelled:
            return false;
        case OutcomeStatus::Duplicate:
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

void mergeOutcomes(OperationOutcomes& shown, const OperationOutcomes& report) {
    for (const DeviceOutcome& later : report) {
        auto same = std::find_if(shown.begin(), shown.end(), [&](const DeviceOutcome& o) {
            return o.operation == later.operation && o.device.mac == later.device.mac;
        });
        if (same != shown.end())
            *same = later;
        else
            shown.push_back(later);
    }
}

OperationOutcomes failuresFirst(OperationOutcomes outcomes) {
    std::stable_partition(outcomes.begin(), outcomes.end(), [](const DeviceOutcome& o) { return isFailure(o.status); });
    return outcomes;
}

std::string outcomeSummary(const OperationOutcomes& outcomes) {
    std::vector<std::string> operations;
    for (const DeviceOutcome& o : outcomes) {
        if (std::find(operations.begin(), operations.end(), o.operation) == operations.end())
            operations.push_back(o.operation);
    }
    std::string text;
    for (const std::string& operation : operations) {
        int total = 0, failed = 0, skipped = 0, cancelled = 0;
        for (const DeviceOutcome& o : outcomes) {
            if (o.operation != operation) continue;
            if (o.status == OutcomeStatus::Cancelled) {
                ++cancelled;
                continue;
            }
            ++total;
            failed += isFailure(o.status) ? 1 : 0;
            skipped += o.status == OutcomeStatus::Skipped ? 1 : 0;
        }
        text += (text.empty() ? "" : "; ") + operation + ": ";
        if (failed > 0)
            text += std::to_string(failed) + " of " + devices(total) + " failed";
        else if (skipped == total)
            text += devices(total) + ", all skipped";
        else
            text += devices(total - skipped) + ", all ok";
        if (skipped > 0 && skipped < total) text += ", " + std::to_string(skipped) + " skipped";
        if (cancelled > 0) text += ", " + std::to_string(cancelled) + " cancelled";
    }
    return text;
}

}  // namespace tarn
