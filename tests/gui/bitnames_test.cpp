#include "bitnames.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

// Rows as the codec's data sheet lists them, most significant bit first.
const std::array<std::array<const char*, 8>, 10> kExpected{{
    {"MRST", "SRST", "AMUTE3", "AMUTE2", "AMUTE1", "AMUTE0", "SRDA1", "SRDA0"},
    {"PSMDA", "-", "-", "-", "-", "FMTDA2", "FMTDA1", "FMTDA0"},
    {"-", "-", "-", "OPEDA", "-", "-", "-", "FLT"},
    {"-", "-", "-", "-", "-", "-", "REVDA2", "REVDA1"},
    {"-", "-", "-", "-", "-", "-", "MUTDA2", "MUTDA1"},
    {"-", "-", "-", "-", "-", "-", "ZERO2", "ZERO1"},
    {"DAMS", "-", "DEMP1", "DEMP0", "MZSEL", "-", "AZRO", "ZREV"},
    {"-", "-", "-", "-", "-", "-", "-", "-"},
    {"ATDA17", "ATDA16", "ATDA15", "ATDA14", "ATDA13", "ATDA12", "ATDA11", "ATDA10"},
    {"ATDA27", "ATDA26", "ATDA25", "ATDA24", "ATDA23", "ATDA22", "ATDA21", "ATDA20"},
}};

TEST(BitNames, EveryBitOfEveryRegisterHasItsName) {
    for (int row = 0; row < larkspur::kMapRows; ++row)
        for (int column = 0; column < larkspur::kBitsPerRegister; ++column)
            EXPECT_EQ(larkspur::bitName(row, 7 - column),
                      kExpected[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)])
                << "register 0x" << std::hex << 0x10 + row << " bit " << 7 - column;
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
