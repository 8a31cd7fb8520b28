// The review of an operation's outcomes: failures first, one command's reports merged per device,
// and the summary line of the Results dock.
#include <gtest/gtest.h>

#include "core/manage/outcome_review.h"

namespace tarn {
namespace {

DeviceOutcome outcome(int n, const std::string& operation, OutcomeStatus status, const std::string& message = {}) {
    DeviceOutcome o;
    o.device.name = "Site-" + std::to_string(n);
    o.device.mac = "02:00:00:00:03:" + std::string(n < 10 ? "0" : "") + std::to_string(n);
    o.device.ip = "127.0.0." + std::to_string(100 + n);
    o.operation = operation;
    o.status = status;
    o.message = message;
    return o;
}

std::vector<std::string> names(const OperationOutcomes& outcomes) {
    std::vector<std::string> out;
    for (const DeviceOutcome& o : outcomes) out.push_back(o.device.name);
    return out;
}

TEST(OutcomeReview, FortyDevicesWithThreeSilentShowThoseThreeFirst) {
    OperationOutcomes set;
    for (int n = 1; n <= 40; ++n) {
        const bool silent = n == 5 || n == 17 || n == 33;
        set.push_back(outcome(n, "Set", silent ? OutcomeStatus::NoReply : OutcomeStatus::Ok, silent ? "No reply" : ""));
    }
    set[9].status = OutcomeStatus::Skipped;  // skipped is not a failure
    EXPECT_EQ(failureCount(set), 3);
    EXPECT_EQ(outcomeSummary(set), "Set: 3 of 40 devices failed, 1 skipped");

    const std::vector<std::string> ordered = names(failuresFirst(set));
    ASSERT_EQ(ordered.size(), set.size());
    EXPECT_EQ((std::vector<std::string>(ordered.begin(), ordered.begin() + 4)),
              (std::vector<std::string>{"Site-5", "Site-17", "Site-33", "Site-1"}));
    // The rest keep the order the operation went through them, and no device is lost or doubled.
    const std::vector<std::string> rest(ordered.begin() + 3, ordered.end());
    std::vector<std::string> expected;
    for (int n = 1; n <= 40; ++n)
        if (n != 5 && n != 17 && n != 33) expected.push_back("Site-" + std::to_string(n));
    EXPECT_EQ(rest, expected);

    for (OutcomeStatus s :
         {OutcomeStatus::Refused, OutcomeStatus::NoReply, OutcomeStatus::NoDefinitions, OutcomeStatus::Failed})
        EXPECT_TRUE(isFailure(s)) << statusName(s);
    EXPECT_FALSE(isFailure(OutcomeStatus::Ok));
    EXPECT_FALSE(isFailure(OutcomeStatus::Skipped));
}

TEST(OutcomeReview, TheReportsOfOneCommandAreMergedPerDeviceAndOperation) {
    // A set that Site-2 refused, sent again to Site-2 with new credentials, then the reboot.
    OperationOutcomes shown;
    mergeOutcomes(shown, {outcome(1, "Set", OutcomeStatus::Ok),
                          outcome(2, "Set", OutcomeStatus::Refused, "Error occured. Try again !!"),
                          outcome(3, "Set", OutcomeStatus::NoReply, "No reply")});
    EXPECT_EQ(outcomeSummary(shown), "Set: 2 of 3 devices failed");
    mergeOutcomes(shown, {outcome(2, "Set", OutcomeStatus::Ok)});
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].status, OutcomeStatus::Ok);
    EXPECT_EQ(shown[1].message, "");
    EXPECT_EQ(outcomeSummary(shown), "Set: 1 of 3 devices failed");
    mergeOutcomes(shown, {outcome(1, "Reboot", OutcomeStatus::Ok), outcome(2, "Reboot", OutcomeStatus::Ok)});
    EXPECT_EQ(names(shown), (std::vector<std::string>{"Site-1", "Site-2", "Site-3", "Site-1", "Site-2"}));
    EXPECT_EQ(outcomeSummary(shown), "Set: 1 of 3 devices failed; Reboot: 2 devices, all ok");

    EXPECT_EQ(outcomeSummary({outcome(7, "Back up", OutcomeStatus::Ok)}), "Back up: 1 device, all ok");
    EXPECT_EQ(outcomeSummary({outcome(7, "Apply", OutcomeStatus::Skipped)}), "Apply: 1 device, all skipped");
    EXPECT_EQ(outcomeSummary({}), "");
}

TEST(OutcomeReview, DevicesThatShareAMacKeepALineEach) {
    // Two devices answered with one MAC (both duplicate); a third shares MAC and address with the first.
    DeviceOutcome a = outcome(4, "Back up", OutcomeStatus::Duplicate, "another device answered with the same MAC");
    DeviceOutcome b = a, c = a;
    b.device.name = "Site-4b";
    b.device.ip = "127.0.0.200";
    c.device.name = "Site-4c";
    OperationOutcomes shown;
    mergeOutcomes(shown, {a, b, outcome(5, "Back up", OutcomeStatus::Ok), c});
    EXPECT_EQ(names(shown), (std::vector<std::string>{"Site-4", "Site-4b", "Site-5", "Site-4c"}));
    EXPECT_EQ(outcomeSummary(shown), "Back up: 3 of 4 devices failed");
    // A later report replaces their lines one for one, by address and then in order.
    b.status = c.status = OutcomeStatus::Ok;
    mergeOutcomes(shown, {b, a, c});
    EXPECT_EQ(names(shown), (std::vector<std::string>{"Site-4", "Site-4b", "Site-5", "Site-4c"}));
    EXPECT_EQ(outcomeSummary(shown), "Back up: 1 of 4 devices failed");
}

}  // namespace
}  // namespace tarn
