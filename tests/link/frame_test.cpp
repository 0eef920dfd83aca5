#include "link/frame.h"
#include "tests/support/hexbytes.h"

#include "tests/support/casenames.h"

#include <gtest/gtest.h>

using namespace sundial;

using testsupport::bytesOf;
using testsupport::hexOf;

namespace {

struct WriteCase {
    const char* name;
    int channel;
    Channel entry;
    int reg;
    std::vector<std::uint8_t> data;
    const char* frame;
};

class WriteFrames : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteFrames, MatchTheWire) {
    const WriteCase& c = GetParam();
    const auto frame = writeRequest(c.channel, c.entry, c.reg, c.data);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(hexOf(frame->bytes()), c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Link, WriteFrames,
    ::testing::Values(
        WriteCase{"i2cCodecWrite", 0, {1, 76}, 0x10, {0x55}, "1E 05 00 01 4C 10 55 00 D5"},
        WriteCase{"boardSetting", 7, {3, 0}, 0x37, {0x01}, "1E 06 07 03 37 37 00 01 00 9D"},
        WriteCase{"type2LikeType1", 0, {2, 0x4F}, 0x19, {0xFF}, "1E 05 00 02 4F 19 FF 01 8C"},
        // register + count - 1 wraps modulo 256
        WriteCase{"spiRunWraps", 3, {3, 0}, 0xFF, {0x01, 0x02}, "1E 07 03 03 FF 00 00 01 02 01 2D"},
        WriteCase{"type4RegisterTwice", 1, {4, 0x77}, 0x12, {0xAB}, "1E 05 01 04 12 12 AB 00 F7"},
        // channel AND 0x0F; fields take the low 8 bits of wide values
        WriteCase{"lowBitsOfFields", 2, {1, 0x14C}, 0x310, {0x80}, "1E 05 02 01 4C 10 80 01 02"},
        WriteCase{"spiDevice2", 0, {3, 0}, 0x56, {0x80}, "1E 06 00 03 56 56 00 80 01 53"}),
    testsupport::ByCaseName());

struct ReadCase {
    const char* name;
    int channel;
    Channel entry;
    int reg;
    int count;
    const char* frame;
};

class ReadFrames : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFrames, MatchTheWire) {
    const ReadCase& c = GetParam();
    const auto frame = readRequest(c.channel, c.entry, c.reg, c.count);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(hexOf(frame->bytes()), c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Link, ReadFrames,
    ::testing::Values(
        ReadCase{"i2cCodecRead", 0, {1, 76}, 0x10, 1, "1E 06 10 01 4C 10 01 00 00 92"},
        ReadCase{"spiCodecRead", 0, {3, 0}, 0x10, 1, "1E 06 10 03 90 90 01 00 01 58"},
        ReadCase{"spiRunOfTen", 0, {3, 0}, 0x10, 10, "1E 06 10 03 90 99 0A 00 01 6A"},
        ReadCase{"spiAddressByteLast", 0, {3, 5}, 0x70, 1, "1E 06 10 03 F0 F0 01 05 02 1D"},
        ReadCase{"spiRunWraps", 0, {3, 0}, 0x7F, 2, "1E 06 10 03 FF 80 02 00 01 B8"},
        ReadCase{"type4", 7, {4, 9}, 0x20, 3, "1E 06 17 04 20 20 03 00 00 82"},
        ReadCase{"maxCount", 0, {1, 76}, 0x10, 255, "1E 06 10 01 4C 10 FF 00 01 90"}),
    testsupport::ByCaseName());

TEST(LinkFrames, SetupAndProbe) {
    EXPECT_EQ(hexOf(probeRequest().bytes()), "1E 03 8F 00 FF 01 AF");
    EXPECT_EQ(hexOf(setupRequest(0, 1).bytes()), "1E 03 50 00 01 00 72");
    EXPECT_EQ(hexOf(setupRequest(7, 3).bytes()), "1E 03 57 00 03 00 7B");
    EXPECT_EQ(hexOf(setupRequest(3, 0).bytes()), "1E 03 53 00 00 00 74");
}

TEST(LinkFrames, ChecksumIsSixteenBitsHighByteFirst) {
    // 255 payload bytes of 0xFF: 0x1E + 0xFF + 255 * 0xFF = 0xFF1E, beyond any one-byte sum.
    std::vector<std::uint8_t> payload(255, 0xFF);
    const auto frame = Frame::fromPayload(payload);
    ASSERT_TRUE(frame.has_value());
    ASSERT_EQ(frame->size(), 259u);
    EXPECT_EQ(frame->bytes()[257], 0xFF);
    EXPECT_EQ(frame->bytes()[258], 0x1E);
    EXPECT_EQ(checksum(bytesOf("FF FF FF")), 0x02FD);
    EXPECT_EQ(checksum(std::vector<std::uint8_t>(300, 0xFF)), 76500 % 65536);
    EXPECT_EQ(checksum({}), 0);
    EXPECT_FALSE(Frame::fromPayload(std::vector<std::uint8_t>(256)).has_value());
}

TEST(LinkFrames, LongestWritesFillTheLengthByte) {
    const std::vector<std::uint8_t> d250(250, 0x11), d251(251, 0x11), d252(252, 0x11);
    const auto spi = writeRequest(0, {3, 0}, 0x10, d250);
    ASSERT_TRUE(spi.has_value());
    EXPECT_EQ(spi->bytes()[1], 255);
    EXPECT_FALSE(writeRequest(0, {3, 0}, 0x10, d251).has_value());
    for (int type : {1, 2, 4}) {
        const auto frame = writeRequest(0, {type, 0}, 0x10, d251);
        ASSERT_TRUE(frame.has_value()) << type;
        EXPECT_EQ(frame->bytes()[1], 255) << type;
        EXPECT_FALSE(writeRequest(0, {type, 0}, 0x10, d252).has_value()) << type;
    }
}

TEST(LinkFrames, RequestsThatCannotBeFramed) {
    const std::vector<std::uint8_t> one{0x01};
    struct Bad {
        const char* what;
        bool framed;
    };
    const Bad cases[] = {
        {"write, empty data", writeRequest(0, {1, 76}, 0x10, {}).has_value()},
        {"write, channel -1", writeRequest(-1, {1, 76}, 0x10, one).has_value()},
        {"write, channel 8", writeRequest(8, {1, 76}, 0x10, one).has_value()},
        {"write, type 0", writeRequest(1, {0, 0}, 0x10, one).has_value()},
        {"write, type 5", writeRequest(0, {5, 0}, 0x10, one).has_value()},
        {"write, type -1", writeRequest(0, {-1, 0}, 0x10, one).has_value()},
        {"read, count 0", readRequest(0, {1, 76}, 0x10, 0).has_value()},
        {"read, count -3", readRequest(0, {1, 76}, 0x10, -3).has_value()},
        {"read, count 256", readRequest(0, {1, 76}, 0x10, 256).has_value()},
        {"read, channel 9", readRequest(9, {1, 76}, 0x10, 1).has_value()},
        {"read, type 0", readRequest(2, {0, 0}, 0x10, 1).has_value()},
    };
    for (const Bad& c : cases) {
        EXPECT_FALSE(c.framed) << c.what;
    }
}

TEST(LinkFrames, ReplyExpectations) {
    EXPECT_EQ(readReplyPayload(1), 6);
    EXPECT_EQ(readReplyPayload(255), 260);
    for (int type = 0; type < 256; ++type) {
        EXPECT_EQ(writeExpectsReply(static_cast<std::uint8_t>(type)), (type & 7) != 0) << type;
    }
    EXPECT_EQ(maxWriteCount(3), 250);
    EXPECT_EQ(maxWriteCount(1), 251);
    EXPECT_EQ(maxWriteCount(0), 0);
}

} // namespace
