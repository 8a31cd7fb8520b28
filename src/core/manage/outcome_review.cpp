#include "core/manage/outcome_review.h"

#include <algorithm>
#include <string>
#include <unordered_map>

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

// Indexed by operation, MAC and address: a backup of 10,000 devices merges in one pass, not 50
// million comparisons on the window's thread. Two devices that answered with one MAC are told apart
// by their address; should they share that too, the k-th line a report has for them replaces the
// k-th line shown for them, so that each keeps a line of its own.
void mergeOutcomes(OperationOutcomes& shown, const OperationOutcomes& report) {
    std::unordered_map<std::string, std::vector<std::size_t>> lines;
    lines.reserve(shown.size() + report.size());
    const auto key = [](const DeviceOutcome& o) { return o.operation + '\n' + o.device.mac + '\n' + o.device.ip; };
    for (std::size_t i = 0; i < shown.size(); ++i) lines[key(shown[i])].push_back(i);
    std::unordered_map<std::string, std::size_t> reported;  // lines of this report per key so far
    for (const DeviceOutcome& later : report) {
        const std::string k = key(later);
        std::vector<std::size_t>& at = lines[k];
        std::size_t& n = reported[k];
        if (n < at.size()) {
            shown[at[n]] = later;
        } else {
            at.push_back(shown.size());
            shown.push_back(later);
        }
        ++n;
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
