// The bit-fields of the catalogue as text and back, as the command line reads and sets them.
#include "catalogue/attenuation.h"
#include "catalogue/fieldvalues.h"

#include <gtest/gtest.h>

using namespace larkspur;

namespace {

const BoundControl& row(const char* name) {
    const BoundControl* found = findControl(name);
    if (found == nullptr) {
        throw std::logic_error(name);
    }
    return *found;
}

struct TextCase {
    const char* control;
    std::uint8_t value;
    bool wide;
    const char* text;
};

TEST(FieldText, ShowsWhatTheControlShows) {
    const TextCase cases[] = {
        {"cInvDAC2", 0x02, false, "on"},
        {"cInvDAC2", 0xFD, false, "off"},
        {"cbDACFMT", 0x04, false, "24bit IIS DSP"},
        {"cbDACFMT", 0xF4, false, "24bit IIS DSP"},
        {"cbDACFMT", 0x07, false, "7"}, // a value beyond the list
        {"cbDACSAM", 0xC3, false, "Quad Rate"},
        {"rgDACAttMode", 0x80, false, "Wide Range (1.0dB step)"},
        {"rgDACPowSav", 0x00, false, "Enable"},
        {"tkDAC1", 255, false, "0.0"},
        {"tkDAC1", 200, true, "-55.0"},
        {"tkDAC1", 200, false, "-27.5"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(fieldText(row(c.control), c.value, c.wide), c.text)
            << c.control << " " << +c.value;
    }
}

struct WriteCase {
    const char* control;
    std::uint8_t current;
    const char* text;
    bool wide;
    int written; // -1: refused
};

TEST(FieldWrite, ChangesTheFieldAndKeepsTheRestOfTheRegister) {
    const WriteCase cases[] = {
        {"cInvDAC2", 0x01, "on", false, 0x03},
        {"cInvDAC2", 0x03, "OFF", false, 0x01},
        {"cInvDAC2", 0x01, "1", false, 0x03},
        {"cInvDAC2", 0x01, "maybe", false, -1},
        {"cbDACFMT", 0xA0, "24bit Left Justified", false, 0xA1},
        {"cbDACFMT", 0xA0, "24bit left justified", false, 0xA1},
        {"cbDACFMT", 0xA0, "3", false, 0xA3},
        {"cbDACFMT", 0xA0, "0x05", false, 0xA5},
        {"cbDACFMT", 0xA0, "6", false, -1},
        {"cbDACFMT", 0xA0, "-1", false, -1},
        {"cbDEMP", 0x83, "44.1kHz", false, 0xA3},
        {"rgDACAttMode", 0x0F, "Wide Range (1.0dB step)", false, 0x8F},
        {"rgDACAttMode", 0x8F, "0", false, 0x0F},
        {"tkDAC1", 0xFF, "-55", true, 200},
        {"tkDAC1", 0xFF, "-27.5", false, 200},
        {"tkDAC1", 0xFF, "-27.7", false, 199}, // the position truncated, as the edit field does
        // Beyond the track is refused, not clamped: the caller names the range.
        {"tkDAC1", 0xFF, "-100", true, kWideMinimum},
        {"tkDAC1", 0xFF, "-63", false, kFineMinimum},
        {"tkDAC1", 0xFF, "-500", true, -1},
        {"tkDAC1", 0xFF, "-63.5", false, -1},
        {"tkDAC1", 0x00, "+3", false, -1},
        {"tkDAC1", 0x00, "1e9", false, -1},
        {"tkDAC1", 0x00, "0", false, 255},
        {"tkDAC1", 0xFF, "loud", false, -1},
        {"tkDAC1", 0xFF, "-1,5", false, -1}, // a point, whatever the locale
    };
    for (const WriteCase& c : cases) {
        const auto written = fieldWrite(row(c.control), c.current, c.text, c.wide);
        EXPECT_EQ(written ? int{*written} : -1, c.written) << c.control << " '" << c.text << "'";
    }
}

TEST(FieldChoices, ListItemsSwitchesAndTheRange) {
    EXPECT_EQ(fieldChoices(row("cDAC1"), false), "on|off");
    EXPECT_EQ(fieldChoices(row("cbDACSAM"), false), "Auto|Single Rate|Dual Rate|Quad Rate");
    EXPECT_EQ(fieldChoices(row("tkDAC2"), false), "-63.0 to 0.0 dB");
    EXPECT_EQ(fieldChoices(row("tkDAC2"), true), "-100.0 to 0.0 dB");
}

TEST(FindField, ByNameOrCaptionAndAmbiguousCaptionsNameTheirControls) {
    EXPECT_EQ(findField("DAC R-ch Invert", nullptr), findControl("cInvDAC2"));
    EXPECT_EQ(findField("dac r-ch invert", nullptr), findControl("cInvDAC2"));
    EXPECT_EQ(findField("cDAC2", nullptr), findControl("cDAC2"));
    std::vector<std::string_view> matches;
    EXPECT_EQ(findField("Mute", &matches), nullptr);
    EXPECT_EQ(matches, (std::vector<std::string_view>{"cDAC1", "cDAC2"}));
    matches.clear();
    EXPECT_EQ(findField("DAC L/R", &matches), nullptr);
    EXPECT_EQ(matches, (std::vector<std::string_view>{"cOPEDA0", "cbFLT12"}));
    matches.clear();
    EXPECT_EQ(findField("Volume", &matches), nullptr);
    EXPECT_TRUE(matches.empty());
}

} // namespace
