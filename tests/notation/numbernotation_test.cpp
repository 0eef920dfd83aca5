#include "notation/numbernotation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using larkspur::parseNumber;

namespace {

struct NumberCase {
    std::string text;
    std::optional<std::int32_t> value;
};

TEST(NumberNotation, ReadsWhatPeopleType) {
    const NumberCase cases[] = {
        // the same value in every notation
        {"26", 26},
        {"0x1A", 26},
        {"0X1a", 26},
        {"$1a", 26},
        {"x1A", 26},
        {"X1A", 26},
        {"$1A", 26},
        // signs and leading spaces
        {"+26", 26},
        {"-26", -26},
        {"   26", 26},
        {"  -0x10", -16},
        {"+$ff", 255},
        {"-$1", -1},
        // decimal is never octal
        {"010", 10},
        {"0", 0},
        {"-0", 0},
        {"0009", 9},
        // the signed 32-bit range
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        // hexadecimal is a 32-bit pattern
        {"0xFFFFFFFF", -1},
        {"0x80000000", INT32_MIN},
        {"0x7FFFFFFF", 2147483647},
        {"0x000000001", 1},
        {"0x100000000", std::nullopt},
        {"-0xFFFFFFFF", 1},
        // nothing else
        {"", std::nullopt},
        {" ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"x", std::nullopt},
        {"-0x", std::nullopt},
        {"26 ", std::nullopt},
        {"0x1A ", std::nullopt},
        {"\t26", std::nullopt},
        {"2 6", std::nullopt},
        {"- 26", std::nullopt},
        {"+-26", std::nullopt},
        {"1A", std::nullopt},
        {"0x1G", std::nullopt},
        {"12abc", std::nullopt},
        {"0b101", std::nullopt},
        {"1e3", std::nullopt},
        {"1.0", std::nullopt},
        {"0x-1", std::nullopt},
        {"$$1", std::nullopt},
        {"0xx1", std::nullopt},
        {"76\n", std::nullopt},
        {std::string("7\0", 2), std::nullopt},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(parseNumber(c.text), c.value) << "\"" << c.text << "\"";
    }
}

} // namespace
