// Frames of the I/O link: golden request and reply frames, the checksum rule, the received-frame
// check and the frame cutter.
#include <gtest/gtest.h>
#include <string>

#include "core/iolink/io_frame.h"
#include "core/iolink/io_framer.h"

namespace tarn {
namespace {

TEST(IoFrame, GoldenFrames) {
    EXPECT_EQ(buildIoFrame("030"), ":030300A\r\n");
    EXPECT_EQ(buildIoFrame("041"), ":030410C\r\n");
    EXPECT_EQ(buildIoFrame("160"), ":031600E\r\n");
    EXPECT_EQ(buildIoFrame("620"), ":036200D\r\n");
    EXPECT_EQ(buildIoFrame("00NAK"), ":0500NAK7B\r\n");
    EXPECT_EQ(buildIoFrame("0201"), ":0402013D\r\n");
    for (const char* f : {":030300A\r\n", ":0500NAK7B\r\n", ":0402013D\r\n"}) EXPECT_TRUE(checkIoFrame(f)) << f;
}

TEST(IoFrame, LengthFieldIsTwoUpperCaseHexDigits) {
    const std::string payload(0xAB, '0');
    const auto frame = buildIoFrame(payload);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->substr(0, 3), ":AB");
    EXPECT_EQ(frame->size(), payload.size() + 7);
    EXPECT_TRUE(checkIoFrame(*frame));
    EXPECT_FALSE(buildIoFrame(std::string(256, '0')));
}

TEST(IoFrame, ChecksumOfHighXorIsFF) {
    EXPECT_EQ(std::string(ioChecksumText(0x7F).data(), 2), "7F");
    EXPECT_EQ(std::string(ioChecksumText(0x80).data(), 2), "FF");
    EXPECT_EQ(std::string(ioChecksumText(0xC3).data(), 2), "FF");
    // ":" "01" then 0xE0: XOR 0x3A^0x30^0x31^0xE0 = 0xDB, so CC is "FF", not "DB".
    const auto frame = buildIoFrame("\xE0");
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, std::string(":01\xE0"
                                  "FF\r\n"));
    EXPECT_TRUE(checkIoFrame(*frame));
    EXPECT_FALSE(
        checkIoFrame(std::string(":01\xE0"
                                 "DB\r\n")));
}

TEST(IoFrame, CheckComparesExactCharactersAndNeedsSevenBytes) {
    EXPECT_FALSE(checkIoFrame(":030300a\r\n"));  // lower-case checksum
    EXPECT_FALSE(checkIoFrame(":030300B\r\n"));
    // The length field is not examined; only the checksum counts.
    const std::string wrongLength = ":09030";
    const auto cc = ioChecksumText(ioXor(wrongLength));
    EXPECT_TRUE(checkIoFrame(wrongLength + cc[0] + cc[1] + "\r\n"));
    EXPECT_EQ(ioFramePayload(wrongLength + cc[0] + cc[1] + "\r\n"), "030");
    // Seven bytes is the shortest frame (an empty payload); anything shorter fails.
    EXPECT_TRUE(checkIoFrame(":003A\r\n"));
    EXPECT_FALSE(checkIoFrame(":00A\r\n"));
    EXPECT_FALSE(checkIoFrame(":\n"));
    EXPECT_FALSE(checkIoFrame(""));
}

TEST(IoFramer, SkipsNoiseAndCutsSeveralFramesPerChunk) {
    IoFramer framer;
    EXPECT_EQ(framer.feed("xx:0500NAK7B\r\n"), std::vector<std::string>{":0500NAK7B\r\n"});
    const auto two = framer.feed("\r\n:030300A\r\nnoise:0402013D\r\n");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0], ":030300A\r\n");
    EXPECT_EQ(two[1], ":0402013D\r\n");
    EXPECT_FALSE(framer.inFrame());
}

TEST(IoFramer, JoinsAFrameSplitAcrossChunksAndKeepsColonsInside) {
    IoFramer framer;
    const std::string frame = ":0402013D\r\n";
    std::vector<std::string> got;
    for (char c : frame) {
        for (auto& f : framer.feed(std::string(1, c))) got.push_back(f);
    }
    EXPECT_EQ(got, std::vector<std::string>{frame});
    // A ":" inside a frame is data, not a new start.
    EXPECT_EQ(framer.feed(":03:a:\n"), std::vector<std::string>{":03:a:\n"});
}

TEST(IoFramer, AcceptsTwoHundredFiftySixBytesAndDropsLonger) {
    IoFramer framer;
    const std::string exact = ":" + std::string(254, 'A') + "\n";
    ASSERT_EQ(exact.size(), 256u);
    EXPECT_EQ(framer.feed(exact), std::vector<std::string>{exact});

    const std::string tooLong = ":" + std::string(255, 'A') + "\n";  // 257 bytes
    EXPECT_TRUE(framer.feed(tooLong).empty());
    EXPECT_FALSE(framer.inFrame());
    // After the drop, the cutter waits for the next ":".
    EXPECT_EQ(framer.feed("tail\n:030300A\r\n"), std::vector<std::string>{":030300A\r\n"});

    // The byte that overflows a frame may itself start the next one.
    const auto restarted = framer.feed(":" + std::string(255, 'B') + ":0402013D\r\n");
    EXPECT_EQ(restarted, std::vector<std::string>{":0402013D\r\n"});
}

}  // namespace
}  // namespace tarn
