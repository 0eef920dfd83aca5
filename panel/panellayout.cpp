#include "panellayout.h"

namespace larkspur {

using namespace groupcaptions;

namespace {

constexpr int kInterfaceSheet = 0;
constexpr int kOperationSheet = 1;
constexpr int kAttenuationSheet = 2;
constexpr int kZeroFlagSheet = 3;
constexpr int kAnalogMuteSheet = 4;

// Lists stand right of their label; the analog-mute boxes below the group's note.
constexpr int kListLeft = 200;
constexpr int kListWidth = 220;
constexpr int kZeroListLeft = 170;
constexpr int kZeroListWidth = 250;
constexpr int kMuteBoxLeft = 24;
constexpr int kMuteBoxWidth = 300;
constexpr Box kTrackAt = {60, 24, 240, 22};
constexpr int kTrackPitch = 24;

} // namespace

const std::array<TabSheetInfo, kTabCount>& tabSheets() {
    static const std::array<TabSheetInfo, kTabCount> sheets = {{
        {"DACADCFunc", "DAC Inteface and Sampling Mode"},
        {"DACOperation", "DAC Operation"},
        {"DACAtt", "DAC Attenuation"},
        {"StatusFlag", "DAC Zero Flag"},
        {"AnalogPath", "DAC Analog Mute Function Control"},
    }};
    return sheets;
}

const std::vector<GroupBoxInfo>& groupBoxes() {
    static const std::vector<GroupBoxInfo> groups = {
        {.name = "GroupBox1",
         .caption = kAudioInterface,
         .sheet = kInterfaceSheet,
         .geometry = {8, 8, 436, 86}},
        {.name = "GroupBox2",
         .caption = kSamplingMode,
         .sheet = kInterfaceSheet,
         .geometry = {8, 102, 436, 56}},
        {.name = "GroupBox4",
         .caption = kDeEmphasis,
         .sheet = kOperationSheet,
         .geometry = {8, 64, 436, 52}},
        {.name = "GroupBox5",
         .caption = kOperationDisable,
         .sheet = kOperationSheet,
         .geometry = {8, 122, 436, 52}},
        {.name = "GroupBox6",
         .caption = kRollOff,
         .sheet = kOperationSheet,
         .geometry = {8, 180, 436, 52}},
        {.name = "GroupBox7",
         .caption = kOutputPhase,
         .sheet = kOperationSheet,
         .geometry = {8, 238, 436, 92}},
        {.name = "GroupBox14",
         .caption = kZeroFlag,
         .sheet = kZeroFlagSheet,
         .geometry = {8, 8, 436, 190},
         .filled = true},
        {.name = "selDin",
         .caption = kMuteSources,
         .sheet = kAnalogMuteSheet,
         .geometry = {8, 8, 436, 150},
         .tooltip = "Reg#40H, Bit5-2"},
    };
    return groups;
}

const std::vector<NoteInfo>& notes() {
    static const std::vector<NoteInfo> list = {
        {.group = kMuteSources,
         .text = "Analog Mute Control Controled by:",
         .left = 12,
         .top = 22,
         .beforeControls = true},
        {.group = kOutputPhase,
         .text = "No Check: Normal phase",
         .left = 12,
         .top = 70,
         .points = 7},
    };
    return list;
}

const std::vector<ControlPlacement>& controlPlacements() {
    static const std::vector<ControlPlacement> rows = {
        // Interface and sampling mode
        {.name = "cbDACMasterSlave", .sheet = kInterfaceSheet, .at = {kListLeft, 22, kListWidth}},
        {.name = "cbDACFMT", .sheet = kInterfaceSheet, .at = {kListLeft, 52, kListWidth}},
        {.name = "cbDACSAM", .sheet = kInterfaceSheet, .at = {kListLeft, 22, kListWidth}},
        // Operation
        {.name = "rgDACPowSav", .sheet = kOperationSheet, .at = {8, 8, 436, 50}, .columns = 2},
        {.name = "cbDEMP", .sheet = kOperationSheet, .at = {kListLeft, 20, kListWidth}},
        {.name = "cOPEDA0",
         .sheet = kOperationSheet,
         .at = {kListLeft, 20, 150},
         .sideLabel = "with or without power save"},
        {.name = "cbFLT12", .sheet = kOperationSheet, .at = {kListLeft, 20, kListWidth}},
        {.name = "cInvDAC1", .sheet = kOperationSheet, .at = {12, 20, 200}},
        {.name = "cInvDAC2", .sheet = kOperationSheet, .at = {12, 44, 200}},
        // Attenuation: a track bar with its edit field per channel, each with a mute box
        {.name = "tkDAC1", .sheet = kAttenuationSheet, .at = kTrackAt, .editName = "edDAC1"},
        {.name = "cDAC1", .sheet = kAttenuationSheet, .at = {380, 26, 60}},
        {.name = "tkDAC2",
         .sheet = kAttenuationSheet,
         .at = {kTrackAt.left, kTrackAt.top + kTrackPitch, kTrackAt.width, kTrackAt.height},
         .editName = "edDAC2"},
        {.name = "cDAC2", .sheet = kAttenuationSheet, .at = {380, 50, 60}},
        {.name = "rgDACAttMode", .sheet = kAttenuationSheet, .at = {8, 90, 436, 50}, .columns = 2},
        // Zero flag
        {.name = "cbZeroFunc",
         .sheet = kZeroFlagSheet,
         .at = {kZeroListLeft, 22, kZeroListWidth},
         .points = 8}, // its long items need the smaller type
        {.name = "cbZeroPole", .sheet = kZeroFlagSheet, .at = {kZeroListLeft, 52, kZeroListWidth}},
        {.name = "cbAMuteoZero",
         .sheet = kZeroFlagSheet,
         .at = {kZeroListLeft, 82, kZeroListWidth}},
        // Analog mute sources
        {.name = "cbAMUTE1", .sheet = kAnalogMuteSheet, .at = {kMuteBoxLeft, 44, kMuteBoxWidth}},
        {.name = "cbAMUTE2", .sheet = kAnalogMuteSheet, .at = {kMuteBoxLeft, 68, kMuteBoxWidth}},
        {.name = "cbAMUTE3", .sheet = kAnalogMuteSheet, .at = {kMuteBoxLeft, 92, kMuteBoxWidth}},
        {.name = "cbAMUTE4", .sheet = kAnalogMuteSheet, .at = {kMuteBoxLeft, 116, kMuteBoxWidth}},
    };
    return rows;
}

const ControlPlacement& placementOf(std::string_view name) {
    for (const ControlPlacement& row : controlPlacements()) {
        if (row.name == name) {
            return row;
        }
    }
    // Every catalogue row has its place: the layout test holds them to it.
    static const ControlPlacement nowhere{};
    return nowhere;
}

const ZeroFlagRowInfo& zeroFlagRow() {
    static const ZeroFlagRowInfo row = {
        .group = kZeroFlag,
        .top = 122,
        .label = "Zero flag status:",
        .lampNames = {"ZERO1", "ZERO2"},
        .lampTips = {"Reg#15H, Bit0", "Reg#15H, Bit1"},
        .lampCaptions = {"DAC L", "DAC R"},
        .readCaption = "Read",
        .clearCaption = "Clear",
    };
    return row;
}

} // namespace larkspur
