// The script text: lines, fields and records, byte by byte.
#include "files/scriptparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace larkspur;
using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;
using Kind = ScriptRecord::Kind;

TEST(ScriptLinesTest, BreaksAndTheEndOfTheText) {
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"0x10,0xC0", {"0x10,0xC0"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\rc\r\nd\r\n", {"a", "b", "c", "d"}},
        {"a\n\n", {"a", ""}},
        {"\r\n", {""}},
        {"\n\r", {"", ""}},
        {"\r\r\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\r\nb", {"a", "", "b"}},
        // A NUL is a byte of its line: it hides nothing after it.
        {"a\0b\r\nc"s, {"a\0b"s, "c"}},
        {"a\r\n\0\r\njunk"s, {"a", "\0"s, "junk"}},
        {"\0a"s, {"\0a"s}},
        // Bytes are not decoded: a byte-order mark stays three bytes of the first line.
        {"\xEF\xBB\xBF"
         "0x10,0xC0\r\n",
         {"\xEF\xBB\xBF"
          "0x10,0xC0"}},
        {"\xE9t\xE9\r\n", {"\xE9t\xE9"}},
        {"a\x1A"
         "b",
         {"a\x1A"
          "b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitScriptLines(c.bytes), c.lines) << testing::PrintToString(c.bytes);
    }
}

TEST(ScriptFieldsTest, SeparatorsQuotesAndTrailingCommas) {
    struct Case {
        std::string line;
        Lines fields;
    };
    const Case cases[] = {
        {"0x10,0xC0", {"0x10", "0xC0"}},
        {"0x10, 0xC0", {"0x10", "0xC0"}},
        {"0x10 0xC0", {"0x10", "0xC0"}},
        {"0x10 , 0xC0", {"0x10", "0xC0"}},
        {"0x10,,0xC0", {"0x10", "", "0xC0"}},
        {"0x11,", {"0x11", ""}},
        // The comma is not the last character here, so it adds no field.
        {"0x11, ", {"0x11"}},
        {"0x11 ,", {"0x11", ""}},
        {"", {}},
        {" \t\x01\x1F ", {}},
        {"  0x11\t0x05", {"0x11", "0x05"}},
        {"0x11\x01"
         "0x05",
         {"0x11", "0x05"}},
        {"0x11, 0x05 ", {"0x11", "0x05"}},
        {"0x11,0x05,DAC format", {"0x11", "0x05", "DAC", "format"}},
        {"\"0x11\",\"0x05\"", {"0x11", "0x05"}},
        {"\"a \"\"b\"\", c\" d", {"a \"b\", c", "d"}},
        {"\"\"", {""}},
        {"\"\",\"\"", {"", ""}},
        {"\"unclosed, field", {"unclosed, field"}},
        {"\"a\"b", {"a", "b"}},
        {"a\"b\"", {"a\"b\""}},
        {",a", {"", "a"}},
        {",", {"", ""}},
        {",,", {"", "", ""}},
        {"a\x7F"
         ",\xA0"
         "b",
         {"a\x7F", "\xA0"
                   "b"}},
        {"a\0b"s, {"a"}},
        // Comments: from a '#' outside quotes to the end of the line.
        {"# 0x10,0xC0", {}},
        {" \t#", {}},
        {"0x10,0xC0 # DAC on", {"0x10", "0xC0"}},
        {"0x10,0xC0#DAC on", {"0x10", "0xC0"}},
        {"0x10#,0xC0", {"0x10"}},
        {"0x11,# the value", {"0x11"}},
        {"0x11,0x05,DAC #1, more", {"0x11", "0x05", "DAC"}},
        {"\"#\",\"a#b\"#c", {"#", "a#b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitFields(c.line), c.fields) << testing::PrintToString(c.line);
        // A limited split is the same split, cut short.
        for (std::size_t limit = 0; limit <= c.fields.size() + 1; ++limit) {
            const std::size_t kept = std::min(limit, c.fields.size());
            EXPECT_EQ(splitFields(c.line, limit),
                      std::vector<std::string>(
                          c.fields.begin(), c.fields.begin() + static_cast<std::ptrdiff_t>(kept)))
                << testing::PrintToString(c.line) << " limit " << limit;
        }
    }
}

TEST(ScriptRecordTest, WhatEachLineAsksFor) {
    struct Case {
        std::string line;
        ScriptRecord record;
    };
    const Case cases[] = {
        {"0x10,0xC0", {Kind::Write, 0x10, 0xC0}},
        {"sleep,100", {Kind::Pause, 0, 100}},
        {"SLEEP, 0x64", {Kind::Pause, 0, 100}},
        {"Sleep 250", {Kind::Pause, 0, 250}},
        {"sLeEp,$0A", {Kind::Pause, 0, 10}},
        {"\"sleep\",\"5\"", {Kind::Pause, 0, 5}},
        {"sleep,0", {Kind::Pause, 0, 0}},
        {"sleep,7,ignored", {Kind::Pause, 0, 7}},
        {"17 5", {Kind::Write, 0x11, 5}},
        {"010,010", {Kind::Write, 10, 10}},
        {"$1a,x1A", {Kind::Write, 26, 26}},
        {"0x11,\t0x05", {Kind::Write, 0x11, 5}},
        {"\"0x11\",\"0x05\"", {Kind::Write, 0x11, 5}},
        {"0x11,0x05,DAC format", {Kind::Write, 0x11, 5}},
        {"0x11, 0x05 ", {Kind::Write, 0x11, 5}},
        {"0x11,255", {Kind::Write, 0x11, 255}},
        {"0x11,0", {Kind::Write, 0x11, 0}},
        // Addresses go to the board as they stand, without DeviceBits; each fits its byte.
        {"0x30,0xC0", {Kind::Write, 0x30, 0xC0}},
        {"0,0x05", {Kind::Write, 0, 5}},
        {"0xFF,0x05", {Kind::Write, 0xFF, 5}},
        {"0x100,0x05", {Kind::BadRecord}},
        {"0x110, 0x05", {Kind::BadRecord}},
        {"-240, 0x05", {Kind::BadRecord}},
        {"-1,0x05", {Kind::BadRecord}},
        {"0x110,0x100", {Kind::BadRecord}},
        {"0x11,\0"s, {Kind::BadRecord}},
        {"\0"s, {Kind::BadRecord}},
        {"0x11,0x05\0"s, {Kind::BadRecord}},
        {"0x10,0xC0\r", {Kind::Write, 0x10, 0xC0}},
        {"Register,Value", {Kind::BadRecord}},
        {"0x11", {Kind::BadRecord}},
        {"0x11,", {Kind::BadRecord}},
        {"0x11,0x05h", {Kind::BadRecord}},
        {"0x11,,0x05", {Kind::BadRecord}},
        {"sleep100", {Kind::BadRecord}},
        {"sleeps,100", {Kind::BadRecord}},
        {"zz,0x100", {Kind::BadRecord}},
        {"\xEF\xBB\xBF"
         "0x10,0xC0",
         {Kind::BadRecord}},
        {"sleep", {Kind::BadPause}},
        {"sleep,", {Kind::BadPause}},
        {"sleep,abc", {Kind::BadPause}},
        {"sleep,100ms", {Kind::BadPause}},
        {"sleep,-1", {Kind::BadPause}},
        {"sleep,0xFFFFFFFF", {Kind::BadPause}},
        {"0x12,0x100", {Kind::BadValue}},
        {"0x11,-1", {Kind::BadValue}},
        {"0x11,256", {Kind::BadValue}},
        {"0x11,0xFFFFFFFF", {Kind::BadValue}},
        {"", {Kind::Empty}},
        {" \t ", {Kind::Empty}},
        {"# DAC on: 0x10,0xC0", {Kind::Empty}},
        {"  #", {Kind::Empty}},
        {"0x10,0xC0 # DAC on", {Kind::Write, 0x10, 0xC0}},
        {"0x10,0xC0#", {Kind::Write, 0x10, 0xC0}},
        {"sleep 100 # let it settle", {Kind::Pause, 0, 100}},
        {"sleep # no time", {Kind::BadPause}},
        {"0x10 # no value", {Kind::BadRecord}},
        {"0x10,#0xC0", {Kind::BadRecord}},
        {"0x11,0x100 # too large", {Kind::BadValue}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseRecord(c.line), c.record) << testing::PrintToString(c.line);
    }
}

TEST(ScriptRecordTest, MessagesOfTheBadKinds) {
    EXPECT_STREQ(recordError(Kind::BadPause), "Invalid sleep time.");
    EXPECT_STREQ(recordError(Kind::BadRecord),
                 "Invalid record was found on the Register setting file.");
    EXPECT_STREQ(recordError(Kind::BadValue), "Invalid register data!");
    for (const Kind good : {Kind::Empty, Kind::Pause, Kind::Write}) {
        EXPECT_STREQ(recordError(good), "");
    }
}

} // namespace
