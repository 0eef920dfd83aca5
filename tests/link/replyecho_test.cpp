// Learning which reply header bytes repeat the request: proven only by values that vary, and
// never by firmware that puts constants there.
#include "link/replyecho.h"
#include "tests/support/hexbytes.h"

#include "tests/support/casenames.h"

#include <gtest/gtest.h>

using sundial::ReplyEcho;

using testsupport::bytesOf;

namespace {

struct Exchange {
    const char* request; // payloads
    const char* reply;
};

struct EchoCase {
    const char* name;
    std::vector<Exchange> learnt;
    Exchange judged;
    std::size_t proven;
    bool agrees;
};

class ReplyEchoLearning : public ::testing::TestWithParam<EchoCase> {};

TEST_P(ReplyEchoLearning, ProvesOnlyRepeatedVaryingBytes) {
    ReplyEcho echo;
    for (const Exchange& e : GetParam().learnt) {
        echo.learn(bytesOf(e.request), bytesOf(e.reply));
    }
    EXPECT_EQ(echo.provenPositions(), GetParam().proven);
    EXPECT_EQ(echo.agrees(bytesOf(GetParam().judged.request), bytesOf(GetParam().judged.reply)),
              GetParam().agrees);
}

// Reads as the virtual board answers them (command, type, register, count, 0, values) and as
// firmware with a constant header would.
const Exchange kRead10{"10 01 4C 10 01 00", "10 01 10 01 00 C0"};
const Exchange kRead11{"10 01 4C 11 01 00", "10 01 11 01 00 21"};

INSTANTIATE_TEST_SUITE_P(
    Link, ReplyEchoLearning,
    ::testing::Values(EchoCase{"nothingLearnt", {}, kRead10, 0, true},
                      EchoCase{"oneRegisterProvesNothing",
                               {kRead10, kRead10},
                               {"10 01 4C 11 01 00", "10 01 10 01 00 C0"},
                               0,
                               true},
                      EchoCase{
                          "twoRegistersProveTheRegisterByte", {kRead10, kRead11}, kRead10, 1, true},
                      EchoCase{"aReplyOfAnotherRegisterIsRefused",
                               {kRead10, kRead11},
                               {"10 01 4C 12 01 00", "10 01 11 01 00 21"},
                               1,
                               false},
                      EchoCase{"constantHeaderNeverProves",
                               {{"10 01 4C 10 01 00", "AA 00 00 00 00 C0"},
                                {"10 01 4C 11 01 00", "AA 00 00 00 00 21"}},
                               {"10 01 4C 12 01 00", "AA 00 00 00 00 99"},
                               0,
                               true},
                      EchoCase{"aByteThatOnceDidNotRepeatIsNotProven",
                               {kRead10,
                                {"10 01 4C 11 01 00", "10 01 77 01 00 21"},
                                {"10 01 4C 12 01 00", "10 01 12 01 00 00"}},
                               {"10 01 4C 13 01 00", "10 01 10 01 00 C0"},
                               0,
                               true},
                      EchoCase{"writeRepliesProveTheCommandAcrossChannels",
                               {{"00 01 4C 10 55", "00 01 00"}, {"07 03 37 37 00 01", "07 03 00"}},
                               {"00 01 4C 10 55", "07 03 00"},
                               2,
                               false},
                      EchoCase{"theProbeAgreesWithWriteEchoes",
                               {{"8F 00 FF", "8F 00 00"}, {"00 01 4C 10 55", "00 01 00"}},
                               {"8F 00 FF", "8F 00 00"},
                               2, // the command and the type byte
                               true},
                      EchoCase{"anOlderWriteAnswerIsNoProbeAnswer",
                               {{"8F 00 FF", "8F 00 00"}, {"00 01 4C 10 55", "00 01 00"}},
                               {"8F 00 FF", "00 01 00"},
                               2,
                               false}),
    testsupport::ByCaseName());

} // namespace
