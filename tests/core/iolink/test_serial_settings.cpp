// The serial settings of the I/O link and their one text form ("9600, n, 8, 1"): every value the
// settings dialog can choose survives the trip through the text, and the text reader's rules.
#include <gtest/gtest.h>

#include "core/common/serial_settings.h"

namespace tarn {
namespace {

SerialSettings line(std::uint32_t baud, char parity, int dataBits, int stopBits, int port = 1) {
    SerialSettings s;
    s.port = port;
    s.baudRate = baud;
    s.parity = parity;
    s.dataBits = dataBits;
    s.stopBits = stopBits;
    return s;
}

TEST(SerialSettings, EveryDialogChoiceRoundTripsThroughTheText) {
    EXPECT_EQ(formatSerialSettings(SerialSettings{}), "9600, n, 8, 1");
    for (int baud = 0; baud < int(kBaudRates.size()); ++baud) {
        for (int parity = 0; parity < 3; ++parity) {
            for (int bits = 0; bits < 2; ++bits) {
                for (int stop = 0; stop < 2; ++stop) {
                    const SerialSettings chosen = settingsFromChoice({6, baud, parity, bits, stop});
                    SerialSettings read;  // the defaults; the text carries no port
                    read.port = chosen.port;
                    ParseSettings(formatSerialSettings(chosen), read);
                    ASSERT_EQ(read, chosen) << formatSerialSettings(chosen);
                }
            }
        }
    }
}

TEST(SerialSettings, ReadsTheSettingsText) {
    SerialSettings s;
    ParseSettings("19200,e,7,2", s);  // no blanks
    EXPECT_EQ(s, line(19200, 'e', 7, 2));
    ParseSettings("4800,, o,,8, 1", s);  // consecutive separators count as one
    EXPECT_EQ(s, line(4800, 'o', 8, 1));
    ParseSettings("4800, o, 8, 1.5", s);  // no 1.5 stop bits on Linux: two
    EXPECT_EQ(s.stopBits, 2);
}

TEST(SerialSettings, UnknownParityOrStopBitsAndMissingFieldsLeaveValues) {
    SerialSettings s = line(19200, 'e', 7, 2, 4);
    ParseSettings("9600, none, 8, 3", s);
    EXPECT_EQ(s, line(9600, 'e', 8, 2, 4));
    ParseSettings("9600, N, 8, 1 ", s);
    EXPECT_EQ(s.parity, 'e');
    EXPECT_EQ(s.stopBits, 2);  // "1 " is not exactly "1"
    ParseSettings("1200", s);
    EXPECT_EQ(s, line(1200, 'e', 8, 2, 4));
    ParseSettings("", s);
    EXPECT_EQ(s.baudRate, 1200u);
}

}  // namespace
}  // namespace tarn
