// Two sets of the codec's registers compared field by field, then by the bits no field covers.
#include "catalogue/registerdiff.h"

#include "tests/support/codecimage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace larkspur;

namespace {

using testsupport::imageWith;

std::vector<std::string> named(const RegisterDiff& diff) {
    std::vector<std::string> lines;
    for (const FieldChange& change : diff.fields) {
        lines.push_back(std::string(change.field->name) + " " + change.beforeText + " > " +
                        change.afterText);
    }
    for (const BitsChange& change : diff.bits) {
        lines.push_back("reg " + std::to_string(change.reg) + " mask " +
                        std::to_string(change.mask) + " " + std::to_string(change.before) + " > " +
                        std::to_string(change.after));
    }
    return lines;
}

TEST(RegisterDiff, NamesEachFieldThatDiffersThenTheBitsOutsideThem) {
    const struct {
        const char* what;
        RegisterImage after;
        std::vector<std::string> changes;
    } cases[] = {
        {"the same", kDefaultRegisters, {}},
        {"a list", imageWith({{0x11, 0x05}}), {"cbDACFMT 24bit IIS > 24bit Left Justified DSP"}},
        {"a check box", imageWith({{0x13, 0x02}}), {"cInvDAC2 off > on"}},
        {"an attenuation", imageWith({{0x18, 0xD7}}), {"tkDAC1 0.0 > -20.0"}},
        {"the zero flags are no field", imageWith({{0x15, 0x03}}), {"reg 21 mask 3 0 > 3"}},
        {"the command bits are no field", imageWith({{0x10, 0x40}}), {"reg 16 mask 128 128 > 0"}},
    };
    for (const auto& c : cases) {
        const RegisterDiff diff = diffRegisters(kDefaultRegisters, c.after);
        EXPECT_EQ(named(diff), c.changes) << c.what;
        EXPECT_EQ(diff.empty(), c.changes.empty()) << c.what;
    }
}

// Each side's attenuation reads in its own mode; a mode change alone is the mode's field.
TEST(RegisterDiff, AttenuationsReadInTheModeOfTheirOwnSide) {
    const RegisterImage fine = imageWith({{0x18, 0xD7}});
    const RegisterImage wide = imageWith({{0x16, 0x80}, {0x18, 0xD7}});
    const std::vector<std::string> changes = named(diffRegisters(fine, wide));
    ASSERT_EQ(changes.size(), 1U);
    EXPECT_EQ(changes[0].rfind("rgDACAttMode ", 0), 0U) << changes[0];
    // 20 fine steps before, 30 wide ones after.
    const std::vector<std::string> both =
        named(diffRegisters(imageWith({{0x18, 0xEB}}), imageWith({{0x16, 0x80}, {0x18, 0xE1}})));
    EXPECT_NE(std::find(both.begin(), both.end(), "tkDAC1 -10.0 > -30.0"), both.end())
        << ::testing::PrintToString(both);
}

TEST(RegisterDiff, TheFieldsCoverTheirRegistersBits) {
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        const std::uint8_t bits = fieldBits(reg);
        if (reg == 0x18 || reg == 0x19) {
            EXPECT_EQ(bits, 0xFF) << reg << ": an attenuation is the whole register";
        }
        if (reg == kCommandRegister) {
            EXPECT_EQ(bits & kCommandBits, 0) << "the commands are no field";
        }
        if (reg == kFlagsRegister) {
            EXPECT_EQ(bits & 0x03, 0) << "the zero flags are read-only, no control's";
        }
    }
}

} // namespace
