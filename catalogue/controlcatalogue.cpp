#include "controlcatalogue.h"

namespace larkspur {

namespace {

constexpr int kInterfaceSheet = 0;
constexpr int kOperationSheet = 1;
constexpr int kAttenuationSheet = 2;
constexpr int kZeroFlagSheet = 3;
constexpr int kAnalogMuteSheet = 4;

constexpr std::string_view kAudioInterface = "Audio interface";
constexpr std::string_view kSamplingMode = "Sampling mode";
constexpr std::string_view kDeEmphasis = "DAC De-emphasis";
constexpr std::string_view kOperationDisable = "DAC operation disable";
constexpr std::string_view kRollOff = "DAC digital filter roll-off";
constexpr std::string_view kOutputPhase = "DAC output phase";
constexpr std::string_view kZeroFlag = "DAC zero flag";
constexpr std::string_view kMuteSources = "Analog Mute Control Source Selection";

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

const std::vector<BoundControl>& controlCatalogue() {
    using Items = std::vector<std::string_view>;
    static const std::vector<BoundControl> rows = {
        // Interface and sampling mode
        {.name = "cbDACMasterSlave",
         .kind = ControlKind::DropDown,
         .tag = 0,
         .reg = 0x11,
         .shift = 4,
         .width = 3,
         .items = Items{"Slave", "Master (768fs)", "Master (512fs)", "Master (384fs)",
                        "Master (256fs)", "Master (192fs)", "Master (128fs)"},
         .tooltip = "Reg#11H, Bit6-4",
         .caption = "DAC Master/Slave",
         .sheet = kInterfaceSheet,
         .group = kAudioInterface,
         .at = {kListLeft, 22, kListWidth},
         .enabled = false},
        {.name = "cbDACFMT",
         .kind = ControlKind::DropDown,
         .tag = 1,
         .reg = 0x11,
         .shift = 0,
         .width = 4,
         .items = Items{"24bit IIS", "24bit Left Justified", "24bit Right Justified",
                        "16bit Right Justified", "24bit IIS DSP", "24bit Left Justified DSP"},
         .tooltip = "Reg#11H, Bit2-0",
         .caption = "DAC Serial Data Format",
         .sheet = kInterfaceSheet,
         .group = kAudioInterface,
         .at = {kListLeft, 52, kListWidth}},
        {.name = "cbDACSAM",
         .kind = ControlKind::DropDown,
         .tag = 4,
         .reg = 0x10,
         .shift = 0,
         .width = 2,
         .items = Items{"Auto", "Single Rate", "Dual Rate", "Quad Rate"},
         .tooltip = "Reg#10H, Bit1-0",
         .caption = "DAC Sampling mode",
         .sheet = kInterfaceSheet,
         .group = kSamplingMode,
         .at = {kListLeft, 22, kListWidth}},
        // Operation
        {.name = "rgDACPowSav",
         .kind = ControlKind::Radio,
         .tag = 0,
         .reg = 0x11,
         .shift = 7,
         .items = Items{"Enable", "Disable"},
         .tooltip = "Reg#11H, Bit7",
         .caption = "DAC power save mode",
         .sheet = kOperationSheet,
         .at = {8, 8, 436, 50},
         .columns = 2},
        {.name = "cbDEMP",
         .kind = ControlKind::DropDown,
         .tag = 9,
         .reg = 0x16,
         .shift = 4,
         .width = 2,
         .items = Items{"Disable", "48kHz", "44.1kHz", "32kHz"},
         .tooltip = "Reg#16H, Bit5-4",
         .caption = "DAC De-emphasis",
         .sheet = kOperationSheet,
         .group = kDeEmphasis,
         .at = {kListLeft, 20, kListWidth}},
        {.name = "cOPEDA0",
         .kind = ControlKind::CheckBox,
         .tag = 34,
         .reg = 0x12,
         .shift = 4,
         .tooltip = "Reg#12H, Bit4",
         .caption = "DAC L/R",
         .sheet = kOperationSheet,
         .group = kOperationDisable,
         .at = {kListLeft, 20, 150},
         .sideLabel = "with or without power save"},
        {.name = "cbFLT12",
         .kind = ControlKind::DropDown,
         .tag = 10,
         .reg = 0x12,
         .shift = 0,
         .width = 1,
         .items = Items{"Sharp Roll-off", "Slow Roll-off"},
         .tooltip = "Reg#12H, Bit0",
         .caption = "DAC L/R",
         .sheet = kOperationSheet,
         .group = kRollOff,
         .at = {kListLeft, 20, kListWidth}},
        {.name = "cInvDAC1",
         .kind = ControlKind::CheckBox,
         .tag = 0,
         .reg = 0x13,
         .shift = 0,
         .tooltip = "Reg#13H, Bit0",
         .caption = "DAC L-ch Invert",
         .sheet = kOperationSheet,
         .group = kOutputPhase,
         .at = {12, 20, 200}},
        {.name = "cInvDAC2",
         .kind = ControlKind::CheckBox,
         .tag = 1,
         .reg = 0x13,
         .shift = 1,
         .tooltip = "Reg#13H, Bit1",
         .caption = "DAC R-ch Invert",
         .sheet = kOperationSheet,
         .group = kOutputPhase,
         .at = {12, 44, 200}},
        // Attenuation: a track bar with its edit field per channel, each with a mute box
        {.name = "tkDAC1",
         .kind = ControlKind::Track,
         .tag = 1,
         .reg = 0x18,
         .width = 8,
         .defaultValue = 255,
         .tooltip = "Reg#18H, Bit7-0",
         .caption = "DAC L",
         .sheet = kAttenuationSheet,
         .at = kTrackAt,
         .editName = "edDAC1"},
        {.name = "cDAC1",
         .kind = ControlKind::CheckBox,
         .tag = 20,
         .reg = 0x14,
         .shift = 0,
         .tooltip = "Reg#14H, Bit0",
         .caption = "Mute",
         .sheet = kAttenuationSheet,
         .at = {380, 26, 60}},
        {.name = "tkDAC2",
         .kind = ControlKind::Track,
         .tag = 2,
         .reg = 0x19,
         .width = 8,
         .defaultValue = 255,
         .tooltip = "Reg#19H, Bit7-0",
         .caption = "DAC R",
         .sheet = kAttenuationSheet,
         .at = {kTrackAt.left, kTrackAt.top + kTrackPitch, kTrackAt.width, kTrackAt.height},
         .editName = "edDAC2"},
        {.name = "cDAC2",
         .kind = ControlKind::CheckBox,
         .tag = 21,
         .reg = 0x14,
         .shift = 1,
         .tooltip = "Reg#14H, Bit1",
         .caption = "Mute",
         .sheet = kAttenuationSheet,
         .at = {380, 50, 60}},
        {.name = "rgDACAttMode",
         .kind = ControlKind::Radio,
         .tag = 1,
         .reg = 0x16,
         .shift = 7,
         .items = Items{"Fine Step (0.5dB Step)", "Wide Range (1.0dB step)"},
         .tooltip = "Reg#16H, Bit7",
         .caption = "Digital Attenuation mode",
         .sheet = kAttenuationSheet,
         .at = {8, 90, 436, 50},
         .columns = 2},
        // Zero flag
        {.name = "cbZeroFunc",
         .kind = ControlKind::DropDown,
         .tag = 6,
         .reg = 0x16,
         .shift = 1,
         .width = 1,
         .items = Items{"ZERO1: L-ch, ZERO2: R-ch", "ZERO1: L-ch or R-ch, ZERO2: L-ch and R-ch"},
         .tooltip = "Reg#16H, Bit1",
         .caption = "Zero flag pin function",
         .sheet = kZeroFlagSheet,
         .group = kZeroFlag,
         .at = {kZeroListLeft, 22, kZeroListWidth},
         .points = 8}, // its long items need the smaller type
        {.name = "cbZeroPole",
         .kind = ControlKind::DropDown,
         .tag = 7,
         .reg = 0x16,
         .shift = 0,
         .width = 1,
         .items = Items{"High for Zero detect", "Low for Zero detect"},
         .tooltip = "Reg#16H, Bit0",
         .caption = "Zero flag polarity",
         .sheet = kZeroFlagSheet,
         .group = kZeroFlag,
         .at = {kZeroListLeft, 52, kZeroListWidth}},
        {.name = "cbAMuteoZero",
         .kind = ControlKind::DropDown,
         .tag = 5,
         .reg = 0x16,
         .shift = 3,
         .width = 1,
         .items =
             Items{"ZERO2 pin is assigned ZERO2 function", "ZERO2 pin is assigned AMUTEO function"},
         .tooltip = "Reg#16H, Bit3",
         .caption = "AMUTEO/ZERO Flag",
         .sheet = kZeroFlagSheet,
         .group = kZeroFlag,
         .at = {kZeroListLeft, 82, kZeroListWidth}},
        // Analog mute sources
        {.name = "cbAMUTE1",
         .kind = ControlKind::CheckBox,
         .tag = 38,
         .reg = 0x10,
         .shift = 2,
         .tooltip = "Reg#10H, Bit2",
         .caption = "SCKI lost",
         .sheet = kAnalogMuteSheet,
         .group = kMuteSources,
         .at = {kMuteBoxLeft, 44, kMuteBoxWidth}},
        {.name = "cbAMUTE2",
         .kind = ControlKind::CheckBox,
         .tag = 39,
         .reg = 0x10,
         .shift = 3,
         .tooltip = "Reg#10H, Bit3",
         .caption = "Asynchronous detected",
         .sheet = kAnalogMuteSheet,
         .group = kMuteSources,
         .at = {kMuteBoxLeft, 68, kMuteBoxWidth}},
        {.name = "cbAMUTE3",
         .kind = ControlKind::CheckBox,
         .tag = 40,
         .reg = 0x10,
         .shift = 4,
         .tooltip = "Reg#10H, Bit4",
         .caption = "ZERO1 or ZERO2 detected",
         .sheet = kAnalogMuteSheet,
         .group = kMuteSources,
         .at = {kMuteBoxLeft, 92, kMuteBoxWidth}},
        {.name = "cbAMUTE4",
         .kind = ControlKind::CheckBox,
         .tag = 41,
         .reg = 0x10,
         .shift = 5,
         .tooltip = "Reg#10H, Bit5",
         .caption = "DAC disable command",
         .sheet = kAnalogMuteSheet,
         .group = kMuteSources,
         .at = {kMuteBoxLeft, 116, kMuteBoxWidth}},
    };
    return rows;
}

const BoundControl* findControl(std::string_view name) {
    for (const BoundControl& row : controlCatalogue()) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
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
