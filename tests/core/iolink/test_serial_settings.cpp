// The serial settings text: formatting from the operator's choices and reading it back.
#include <gtest/gtest.h>

#include "core/iolink/serial_settings.h"

namespace tarn {
namespace {

TEST(SerialSettings, ReadsTheSettingsText) {
    SerialLineSettings s;
    ParseSettings(formatSerialSettings(9600, "n", 8, 1), s);
    EXPECT_EQ(s, (SerialLineSettings{9600, 8, SerialParity::None, SerialStopBits::One}));
    EXPECT_EQ(formatSerialSettings(9600, "n", 8, 1), "9600, n, 8, 1");

    ParseSettings("19200,e,7,2", s);
    EXPECT_EQ(s, (SerialLineSettings{19200, 7, SerialParity::Even, SerialStopBits::Two}));
    ParseSettings("4800,, o,,8, 1.5", s);  // consecutive separators count as one
    EXPECT_EQ(s, (SerialLineSettings{4800, 8, SerialParity::Odd, SerialStopBits::OneAndHalf}));
}

TEST(SerialSettings, UnknownParityOrStopBitsAndMissingFieldsLeaveValues) {
    SerialLineSettings s{19200, 7, SerialParity::Even, SerialStopBits::Two};
    ParseSettings("9600, none, 8, 3", s);
    EXPECT_EQ(s, (SerialLineSettings{9600, 8, SerialParity::Even, SerialStopBits::Two}));
    ParseSettings("9600, N, 8, 1 ", s);
    EXPECT_EQ(s.parity, SerialParity::Even);
    EXPECT_EQ(s.stopBits, SerialStopBits::Two);  // "1 " is not exactly "1"
    ParseSettings("1200", s);
    EXPECT_EQ(s, (SerialLineSettings{1200, 8, SerialParity::Even, SerialStopBits::Two}));
    ParseSettings("", s);
    EXPECT_EQ(s.baudRate, 1200);
}

}  // namespace
}  // namespace tarn
