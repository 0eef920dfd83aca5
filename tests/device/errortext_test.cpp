// The texts of the error boxes: the full stop rule, the conversions' messages.
#include "device/errortext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FullStopCase {
    std::string message;
    std::string shown;
};

class FullStopRule : public testing::TestWithParam<FullStopCase> {};

TEST_P(FullStopRule, AppendsAFullStopWhenTheLastCharacterSortsAfterIt) {
    EXPECT_EQ(larkspur::exceptionText(GetParam().message), GetParam().shown);
}

// '.' is 0x2E: '?' (0x3F), letters, digits and ')' (0x29, no) decide by code alone.
INSTANTIATE_TEST_SUITE_P(Messages, FullStopRule,
                         testing::Values(FullStopCase{"Bad value", "Bad value."},
                                         FullStopCase{"Done.", "Done."},
                                         FullStopCase{"Why?", "Why?."}, FullStopCase{"", ""},
                                         FullStopCase{"x,", "x,"}, FullStopCase{"(0x1F)", "(0x1F)"},
                                         FullStopCase{"Error 5", "Error 5."},
                                         FullStopCase{"a-", "a-"}, FullStopCase{"path/", "path/."},
                                         FullStopCase{"!", "!"}, FullStopCase{" ", " "},
                                         FullStopCase{"\xC3\xA9", "\xC3\xA9."}));

// Under the suite it had among the panel's tests, so that its history stays comparable.
TEST(Attenuation, ConversionMessages) {
    EXPECT_EQ(larkspur::notAFloatMessage("abc"), "'abc' is not a valid floating point value");
    EXPECT_EQ(larkspur::notAnIntegerMessage("0x"), "'0x' is not a valid integer value");
}

} // namespace
