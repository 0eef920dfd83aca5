#include "bitnames/bitnames.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

TEST(BitNames, NamesSitOnTheirBits) {
    struct Case {
        int reg;
        int bit;
        const char* name;
    };
    const Case cases[] = {
        {0x10, 7, "MRST"},  {0x10, 6, "SRST"},   {0x10, 5, "AMUTE3"}, {0x10, 2, "AMUTE0"},
        {0x10, 0, "SRDA0"}, {0x11, 7, "PSMDA"},  {0x11, 2, "FMTDA2"}, {0x12, 4, "OPEDA"},
        {0x12, 0, "FLT"},   {0x13, 1, "REVDA2"}, {0x14, 0, "MUTDA1"}, {0x15, 1, "ZERO2"},
        {0x15, 0, "ZERO1"}, {0x16, 7, "DAMS"},   {0x16, 3, "MZSEL"},  {0x16, 0, "ZREV"},
        {0x11, 6, "-"},     {0x16, 6, "-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(larkspur::bitName(c.reg - 0x10, c.bit), c.name) << c.reg << " bit " << c.bit;
    }
    // Register 0x17 has no named bit; the attenuation registers name every bit in sequence.
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(larkspur::bitName(7, bit), "-");
        EXPECT_EQ(larkspur::bitName(8, bit), "ATDA1" + std::to_string(bit));
        EXPECT_EQ(larkspur::bitName(9, bit), "ATDA2" + std::to_string(bit));
    }
}

TEST(BitNames, NamesFitTheCells) {
    for (int row = 0; row < larkspur::kMapRows; ++row)
        for (int bit = 0; bit < 8; ++bit)
            EXPECT_LE(larkspur::bitName(row, bit).size(), 6u);
}

TEST(BitNames, OutsideTheTableIsEmpty) {
    EXPECT_EQ(larkspur::bitName(-1, 0), "");
    EXPECT_EQ(larkspur::bitName(10, 0), "");
    EXPECT_EQ(larkspur::bitName(0, 8), "");
    EXPECT_EQ(larkspur::bitName(0, -1), "");
}

TEST(BitNames, BitIsSetReadsOneBit) {
    EXPECT_TRUE(larkspur::bitIsSet(0xC1, 7));
    EXPECT_TRUE(larkspur::bitIsSet(0xC1, 6));
    EXPECT_FALSE(larkspur::bitIsSet(0xC1, 5));
    EXPECT_TRUE(larkspur::bitIsSet(0xC1, 0));
    EXPECT_FALSE(larkspur::bitIsSet(0x00, 3));
}

struct RowLabelCase {
    int address;
    std::string text;
};

class RowLabel : public testing::TestWithParam<RowLabelCase> {};

TEST_P(RowLabel, IsTwoUpperCaseHexDigits) {
    EXPECT_EQ(larkspur::rowLabelText(GetParam().address), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Addresses, RowLabel,
                         testing::Values(RowLabelCase{0x10, "10"}, RowLabelCase{0x19, "19"},
                                         RowLabelCase{0x3A, "3A"}, RowLabelCase{0x50, "50"},
                                         RowLabelCase{0x79, "79"}, RowLabelCase{0x05, "05"}));

} // namespace
