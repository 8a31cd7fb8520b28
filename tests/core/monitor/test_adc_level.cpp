// The ADC dialog's level and reference rules.
#include <gtest/gtest.h>

#include "core/monitor/adc_level.h"

namespace tarn {
namespace {

TEST(AdcLevel, SwitchLevelIsFourDigitsWithinTheLimit) {
    EXPECT_EQ(checkAdcLevelInput("1023"), (PortInputCheck{{}, "1023"}));
    EXPECT_EQ(checkAdcLevelInput("7"), (PortInputCheck{{}, "0007"}));
    EXPECT_EQ(checkAdcLevelInput("0007"), (PortInputCheck{{}, "0007"}));
    EXPECT_EQ(checkAdcLevelInput(" 0 "), (PortInputCheck{{}, "0000"}));
    EXPECT_EQ(checkAdcLevelInput("1024").message, kAdcLevelLimitText);
    EXPECT_EQ(checkAdcLevelInput("9999").message, kAdcLevelLimitText);
    EXPECT_EQ(checkAdcLevelInput("-1").message, kAdcLevelLimitText);
    EXPECT_EQ(checkAdcLevelInput("").message, kInputAdcLevelText);
    EXPECT_EQ(checkAdcLevelInput("  ").message, kInputAdcLevelText);
}

TEST(AdcLevel, ReferenceOutsideTheListIsWrittenBackAsRead) {
    EXPECT_EQ(adcReferenceIndex('0'), 0);
    EXPECT_EQ(adcReferenceIndex('2'), 2);
    EXPECT_EQ(adcReferenceIndex('3'), -1);
    EXPECT_EQ(adcReferenceIndex('/'), -1);
    EXPECT_EQ(adcReferenceToWrite(adcReferenceIndex('7'), '7'), '7');
    EXPECT_EQ(adcReferenceToWrite(1, '7'), '1');
    EXPECT_EQ(adcReferenceToWrite(2, '0'), '2');
}

}  // namespace
}  // namespace tarn
