// The timed behaviour of an output port: the text the device keeps, how it is shown and checked.
#include <gtest/gtest.h>

#include "core/monitor/delay_pulse.h"

namespace tarn {
namespace {

DelayPulseFields shown(std::string_view pulseText, DelayPulseFields before = {}) {
    showDelayPulse(1, pulseText, before);
    return before;
}

TEST(DelayPulse, ShowingAReadSettingChoosesTheModeFromTheTimes) {
    const DelayPulseFields before{false, DelayPulseMode::Pulse, "1", "2", "3", "4"};
    EXPECT_EQ(shown("0001500000", before), (DelayPulseFields{true, DelayPulseMode::DelayOn, "00015", "2", "3", "4"}));
    EXPECT_EQ(shown("0000000020", before), (DelayPulseFields{true, DelayPulseMode::DelayOff, "1", "00020", "3", "4"}));
    EXPECT_EQ(shown("0000500005", before), (DelayPulseFields{true, DelayPulseMode::Pulse, "1", "2", "00005", "00005"}));
    // A short text counts as padded on the left.
    EXPECT_EQ(shown("20", before).delayOffTime, "00020");
    // No mode in the text, or no times at all: only the box is ticked.
    DelayPulseFields ticked = before;
    ticked.used = true;
    EXPECT_EQ(shown("0000000000", before), ticked);
    EXPECT_EQ(shown("00a1500000", before), ticked);
    EXPECT_EQ(shown("00015000001", before), ticked);

    DelayPulseFields unused{true, DelayPulseMode::Pulse, "1", "2", "3", "4"};
    showDelayPulse(0, "0001500000", unused);
    EXPECT_EQ(unused, (DelayPulseFields{false, DelayPulseMode::Pulse, "1", "2", "3", "4"}));
}

TEST(DelayPulse, WrittenTextShowsBackAsTyped) {
    const DelayPulseFields typed[] = {
        {true, DelayPulseMode::DelayOn, "15", "", "", ""},
        {true, DelayPulseMode::DelayOff, "", " 5000", "", ""},
        {true, DelayPulseMode::Pulse, "", "", "15", "3"},
    };
    const char* texts[] = {"0001500000", "0000005000", "0001500003"};
    const DelayPulseFields expected[] = {
        {true, DelayPulseMode::DelayOn, "00015", "", "", ""},
        {true, DelayPulseMode::DelayOff, "", "05000", "", ""},
        {true, DelayPulseMode::Pulse, "", "", "00015", "00003"},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const PortInputCheck check = checkDelayPulseInput(typed[i]);
        ASSERT_TRUE(check.ok()) << check.message;
        EXPECT_EQ(check.value, texts[i]);
        DelayPulseFields fresh;
        showDelayPulse(1, check.value, fresh);
        EXPECT_EQ(fresh, expected[i]);
    }
}

TEST(DelayPulse, BlankAndOutOfRangeTimesAreRefused) {
    const auto message = [](DelayPulseMode mode, const char* a, const char* b) {
        const DelayPulseFields f{true, mode, a, b, a, b};
        return checkDelayPulseInput(f).message;
    };
    EXPECT_EQ(message(DelayPulseMode::DelayOn, " ", "7"), kInputDelayOnTimeText);
    EXPECT_EQ(message(DelayPulseMode::DelayOff, "7", ""), kInputDelayOffTimeText);
    EXPECT_EQ(message(DelayPulseMode::Pulse, "", ""), kInputPulseOnTimeText);
    EXPECT_EQ(message(DelayPulseMode::Pulse, "99999", ""), kInputPulseOffTimeText);
    EXPECT_EQ(message(DelayPulseMode::Pulse, "7", "5001"), kDelayPulseTimeLimitText);
    EXPECT_EQ(message(DelayPulseMode::DelayOn, "1-2", ""), kDelayPulseTimeLimitText);
    // A time of 0 would be kept as another mode, or as none: refused like a blank one.
    EXPECT_EQ(message(DelayPulseMode::DelayOff, "", "0"), kInputDelayOffTimeText);
    EXPECT_EQ(message(DelayPulseMode::Pulse, "5", "0"), kInputPulseOffTimeText);
    EXPECT_EQ(message(DelayPulseMode::Pulse, "00", "0"), kInputPulseOnTimeText);
    EXPECT_EQ(message(DelayPulseMode::DelayOff, "", "1"), "");
    // Unticked, the edits are not looked at and nothing is formed.
    EXPECT_EQ(checkDelayPulseInput({false, DelayPulseMode::Pulse, "", "", "", ""}), (PortInputCheck{}));
}

}  // namespace
}  // namespace tarn
