// Snapshot and history files played into the codec's registers without a board.
#include "files/registerimage.h"

#include "tests/support/codecimage.h"

#include <gtest/gtest.h>

#include <string>

using namespace larkspur;

namespace {

using testsupport::imageWith;

TEST(RegisterImage, EachFileGivesTheRegistersTheCodecWouldHold) {
    const struct {
        const char* what;
        std::string text;
        RegisterImage image;
    } cases[] = {
        {"nothing: the defaults", "", kDefaultRegisters},
        {"a snapshot's lines", "0x11, 0x05\r\n0x18, 0xE6\r\n",
         imageWith({{0x11, 0x05}, {0x18, 0xE6}})},
        {"the last write of a register counts", "0x11,1\n0x11,2\n", imageWith({{0x11, 0x02}})},
        {"comments, blanks and pauses change nothing", "# set-up\n\nsleep,100\n0x12 7 # x\n",
         imageWith({{0x12, 0x07}})},
        {"an SPI history's device bits are not the register's", "0x31, 0x05\n0x52, 0x06\n",
         imageWith({{0x11, 0x05}, {0x12, 0x06}})},
        {"addresses beyond the ten are not in the image", "0x0F, 1\n0x1A, 2\n0x37, 3\n",
         imageWith({{0x17, 0x03}})},
        {"the command bits read back as 1", "0x10, 0xC5\n0x10, 0x85\n", imageWith({{0x10, 0xC5}})},
        {"MRST written as 0 resets every register", "0x11, 5\n0x10, 0x40\n0x12, 6\n",
         imageWith({{0x12, 0x06}})},
    };
    for (const auto& c : cases) {
        const ImageOutcome outcome = replayIntoImage(c.text);
        ASSERT_TRUE(outcome.values) << c.what << ": " << outcome.message;
        EXPECT_EQ(*outcome.values, c.image) << c.what;
    }
}

TEST(RegisterImage, ABadLineIsNamedWithTheRunsMessage) {
    const struct {
        std::string text;
        int line;
        const char* message;
    } cases[] = {
        {"0x11, 5\nRegister,Value\n", 2, "Invalid record was found on the Register setting file."},
        {"0x11, 0x300\n", 1, "Invalid register data!"},
        {"0x11, 1\n0x12, 2\nsleep\n", 3, "Invalid sleep time."},
        {"\xEF\xBB\xBF"
         "0x10, 0xC0\n",
         1, "Invalid record was found on the Register setting file."},
    };
    for (const auto& c : cases) {
        const ImageOutcome outcome = replayIntoImage(c.text);
        EXPECT_FALSE(outcome.values) << c.text;
        EXPECT_EQ(outcome.line, c.line) << c.text;
        EXPECT_EQ(outcome.message, c.message) << c.text;
    }
}

TEST(RegisterImage, AFileThatIsNotThereIsSaidSo) {
    const ImageOutcome outcome = replayFileIntoImage(::testing::TempDir() + "no-such-snapshot.csv");
    EXPECT_FALSE(outcome.values);
    EXPECT_EQ(outcome.line, 0);
    EXPECT_EQ(outcome.message, "File not exist.");
}

} // namespace
