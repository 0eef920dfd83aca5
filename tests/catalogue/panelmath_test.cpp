// The control panel's arithmetic: bit-fields, attenuation texts and typed values, the catalogue.
#include "catalogue/attenuation.h"
#include "catalogue/bindingmath.h"
#include "catalogue/controlcatalogue.h"
#include "notation/decimalnotation.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace larkspur;

namespace {

TEST(BindingMath, ReadModifyWriteKeepsTheOtherBits) {
    struct Case {
        const char* what;
        int written;
        int expected;
    };
    const Case cases[] = {
        {"tick bit 1 over 0x01", checkBoxWrite(0x01, 1, true), 0x03},
        {"untick bit 1 over 0x03", checkBoxWrite(0x03, 1, false), 0x01},
        {"tick bit 7 over 0x7F", checkBoxWrite(0x7F, 7, true), 0xFF},
        {"untick bit 0 over 0xFF", checkBoxWrite(0xFF, 0, false), 0xFE},
        {"list item 3, shift 4 width 2, over 0x8B", dropDownWrite(0x8B, 4, 2, 3), 0xBB},
        {"list item 0, shift 4 width 2, over 0x8B", dropDownWrite(0x8B, 4, 2, 0), 0x8B},
        {"Quad Rate over 0xC4", dropDownWrite(0xC4, 0, 2, 3), 0xC7},
        {"24bit IIS DSP over 0x8F clears bit 3", dropDownWrite(0x8F, 0, 4, 4), 0x84},
        {"whole-byte field", dropDownWrite(0x5A, 0, 8, 0x33), 0x33},
        {"top bit field", dropDownWrite(0x7F, 7, 1, 1), 0xFF},
        {"radio item 1 at bit 7 over 0x05", radioWrite(0x05, 7, 1), 0x85},
        {"radio item 0 at bit 7 over 0x85", radioWrite(0x85, 7, 0), 0x05},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.written, c.expected) << c.what;
    }
}

TEST(BindingMath, KeepMaskCoversEverythingOutsideTheField) {
    for (int shift = 0; shift < 8; ++shift) {
        for (int width = 1; shift + width <= 8; ++width) {
            const int field = ((1 << width) - 1) << shift;
            EXPECT_EQ(keepMask(shift, width), 0xFF & ~field) << shift << "/" << width;
        }
    }
}

TEST(BindingMath, FieldsReadBack) {
    EXPECT_TRUE(checkBoxState(0x02, 1));
    EXPECT_FALSE(checkBoxState(0xFD, 1));
    EXPECT_EQ(dropDownItem(0xBB, 4, 2), 3);
    EXPECT_EQ(dropDownItem(0x8E, 0, 4), 14); // beyond the data-format list's items
    EXPECT_EQ(dropDownItem(0x70, 4, 3), 7);
    EXPECT_EQ(dropDownItem(0xAB, 0, 8), 0xAB);
    EXPECT_EQ(radioItem(0x80, 7), 1);
    EXPECT_EQ(radioItem(0x7F, 7), 0);
    // Every field value written comes back.
    for (int value = 0; value < 256; ++value) {
        const auto v = static_cast<std::uint8_t>(value);
        for (int shift = 0; shift < 8; ++shift) {
            for (int width = 1; shift + width <= 8; ++width) {
                const int item = value & ((1 << width) - 1);
                const auto written =
                    static_cast<std::uint8_t>(dropDownWrite(v, shift, width, item));
                ASSERT_EQ(dropDownItem(written, shift, width), item);
                ASSERT_EQ(written & keepMask(shift, width), value & keepMask(shift, width));
            }
        }
    }
}

TEST(Attenuation, DecibelTexts) {
    struct Case {
        int value;
        bool wide;
        char separator;
        const char* text;
    };
    const Case cases[] = {
        {255, false, '.', "0.0"},   {234, false, '.', "-10.5"}, {129, false, '.', "-63.0"},
        {100, false, '.', "-77.5"}, {200, true, '.', "-55.0"},  {155, true, '.', "-100.0"},
        {255, true, '.', "0.0"},    {175, true, '.', "-80.0"},  {175, false, '.', "-40.0"},
        {254, false, ',', "-0,5"},  {0, true, ',', "-255,0"},   {254, true, '.', "-1.0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decibelText(255, c.value, c.wide, c.separator), c.text) << c.value;
    }
}

TEST(Attenuation, TypedValues) {
    struct Case {
        const char* text;
        bool wide;
        int position; // -1: no number
    };
    const Case cases[] = {
        {"-10.3", false, 234}, {"-10.7", false, 233}, {"-80", false, 129}, {"-80", true, 175},
        {"-150", true, 155},   {"5", false, 255},     {"0", false, 255},   {"-0.5", false, 254},
        {"-63", false, 129},   {"-100", true, 155},   {" -1 ", true, 254}, {"-1e1", true, 245},
        {"-.5", false, 254},   {"-5.", false, 245},   {"+0", false, 255},  {"abc", false, -1},
        {"", false, -1},       {"-", false, -1},      {"1,5", false, -1},  {"nan", false, -1},
        {"inf", false, -1},    {"-inf", true, -1},    {"1e39", false, -1}, {"-1e400", false, -1},
        {"0x10", false, -1},   {"1e", false, -1},     {"--1", false, -1},  {".", false, -1},
    };
    for (const Case& c : cases) {
        const auto x = parseDecimal(c.text, '.');
        if (c.position < 0) {
            EXPECT_FALSE(x.has_value()) << c.text;
            continue;
        }
        ASSERT_TRUE(x.has_value()) << c.text;
        const int minimum = trackMinimum(c.wide);
        EXPECT_EQ(typedPosition(*x, minimum, 255, 255, c.wide ? 1 : 2), c.position) << c.text;
    }
    EXPECT_EQ(parseDecimal("-10,5", ','), -10.5f);
    EXPECT_FALSE(parseDecimal("-10.5", ',').has_value());
}

TEST(ControlCatalogue, TagsAreUniqueWithinAKindAndFieldsFitTheirRegisters) {
    std::map<ControlKind, std::set<int>> tags;
    std::set<std::string_view> names;
    for (const BoundControl& row : controlCatalogue()) {
        EXPECT_TRUE(tags[row.kind].insert(row.tag).second) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_GE(row.reg, 0x10) << row.name;
        EXPECT_LE(row.reg, 0x19) << row.name;
        EXPECT_GE(row.shift, 0) << row.name;
        EXPECT_LE(row.shift + row.width, 8) << row.name;
        EXPECT_LE(row.items.size(), std::size_t{1} << row.width) << row.name;
        EXPECT_FALSE(row.tooltip.empty()) << row.name;
        EXPECT_FALSE(row.caption.empty()) << row.name;
        if (row.kind == ControlKind::Radio) {
            EXPECT_EQ(row.items.size(), 2u) << row.name;
        }
    }
    EXPECT_EQ(tags[ControlKind::CheckBox], (std::set<int>{0, 1, 20, 21, 34, 38, 39, 40, 41}));
    EXPECT_EQ(tags[ControlKind::DropDown], (std::set<int>{0, 1, 4, 5, 6, 7, 9, 10}));
    EXPECT_EQ(tags[ControlKind::Radio], (std::set<int>{0, 1}));
    EXPECT_EQ(tags[ControlKind::Track], (std::set<int>{1, 2}));
}

TEST(ControlCatalogue, TooltipsNameTheRegisterOfTheirField) {
    // "Reg#11H, Bit6-4": the register in hex and the field's top and bottom bit. The data-format
    // list keeps its historic "Bit2-0" although its field is four bits wide.
    for (const BoundControl& row : controlCatalogue()) {
        char reg[16];
        std::snprintf(reg, sizeof reg, "Reg#%XH, Bit", row.reg);
        EXPECT_EQ(row.tooltip.substr(0, std::string_view(reg).size()), reg) << row.name;
        if (row.name == "cbDACFMT") {
            EXPECT_EQ(row.tooltip, "Reg#11H, Bit2-0");
            continue;
        }
        const int top = row.shift + row.width - 1;
        const std::string bits = row.width == 1
                                     ? std::to_string(row.shift)
                                     : std::to_string(top) + "-" + std::to_string(row.shift);
        EXPECT_EQ(row.tooltip.substr(std::string_view(reg).size()), bits) << row.name;
    }
}

TEST(ControlCatalogue, RowsAreFoundByName) {
    ASSERT_NE(findControl("cbDACMasterSlave"), nullptr);
    EXPECT_FALSE(findControl("cbDACMasterSlave")->enabled);
    EXPECT_EQ(findControl("nothing"), nullptr);
}

} // namespace
