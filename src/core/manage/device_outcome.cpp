#include "core/manage/device_outcome.h"

namespace tarn {

std::string_view statusName(OutcomeStatus status) {
    switch (status) {
        case OutcomeStatus::Ok:
            return "ok";
        case OutcomeStatus::Refused:
            return "refused";
        case OutcomeStatus::NoReply:
            return "no-reply";
        case OutcomeStatus::NoDefinitions:
            return "no-definitions";
        case OutcomeStatus::Failed:
            return "failed";
        case OutcomeStatus::Skipped:
            return "skipped";
        case OutcomeStatus::Duplicate:
            return "duplicate";
        case OutcomeStatus::Cancelled:
            return "cancelled";
    }
    return "failed";
}

void keepOutcome(std::optional<DeviceOutcome>& kept, const DeviceOutcome& now) {
    if (kept && kept->status == OutcomeStatus::Refused && now.status != OutcomeStatus::Ok) return;
    kept = now;
}

}  // namespace tarn
