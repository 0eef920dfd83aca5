#include "controlcatalogue.h"

namespace larkspur {

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

namespace {

using Items = std::vector<std::string_view>;

BoundControl checkBox(std::string_view name, int tag, int reg, int bit, std::string_view tooltip,
                      std::string_view caption, int sheet, std::string_view group) {
    return {name,    ControlKind::CheckBox,
            tag,     reg,
            bit,     1,
            {},      0,
            tooltip, caption,
            sheet,   group,
            true,    {},
            1};
}

BoundControl dropDown(std::string_view name, int tag, int reg, int shift, int width, Items items,
                      std::string_view tooltip, std::string_view label, int sheet,
                      std::string_view group, bool enabled = true) {
    return {name,
            ControlKind::DropDown,
            tag,
            reg,
            shift,
            width,
            std::move(items),
            0,
            tooltip,
            label,
            sheet,
            group,
            enabled,
            {},
            1};
}

BoundControl radio(std::string_view name, int tag, int reg, int bit, Items items,
                   std::string_view tooltip, std::string_view caption, int sheet) {
    return {name,
            ControlKind::Radio,
            tag,
            reg,
            bit,
            1,
            std::move(items),
            0,
            tooltip,
            caption,
            sheet,
            {},
            true,
            {},
            2};
}

BoundControl track(std::string_view name, std::string_view edit, int tag, int reg,
                   std::string_view tooltip, std::string_view rowLabel) {
    return {name,    ControlKind::Track, tag, reg, 0,    8,    {}, 255,
            tooltip, rowLabel,           2,   {},  true, edit, 1};
}

} // namespace

const std::vector<BoundControl>& controlCatalogue() {
    static const std::vector<BoundControl> rows = {
        // Sheet 0: interface and sampling mode
        dropDown("cbDACMasterSlave", 0, 0x11, 4, 3,
                 {"Slave", "Master (768fs)", "Master (512fs)", "Master (384fs)", "Master (256fs)",
                  "Master (192fs)", "Master (128fs)"},
                 "Reg#11H, Bit6-4", "DAC Master/Slave", 0, "Audio interface", false),
        dropDown("cbDACFMT", 1, 0x11, 0, 4,
                 {"24bit IIS", "24bit Left Justified", "24bit Right Justified",
                  "16bit Right Justified", "24bit IIS DSP", "24bit Left Justified DSP"},
                 "Reg#11H, Bit2-0", "DAC Serial Data Format", 0, "Audio interface"),
        dropDown("cbDACSAM", 4, 0x10, 0, 2, {"Auto", "Single Rate", "Dual Rate", "Quad Rate"},
                 "Reg#10H, Bit1-0", "DAC Sampling mode", 0, "Sampling mode"),
        // Sheet 1: operation
        radio("rgDACPowSav", 0, 0x11, 7, {"Enable", "Disable"}, "Reg#11H, Bit7",
              "DAC power save mode", 1),
        dropDown("cbDEMP", 9, 0x16, 4, 2, {"Disable", "48kHz", "44.1kHz", "32kHz"},
                 "Reg#16H, Bit5-4", "DAC De-emphasis", 1, "DAC De-emphasis"),
        checkBox("cOPEDA0", 34, 0x12, 4, "Reg#12H, Bit4", "DAC L/R", 1, "DAC operation disable"),
        dropDown("cbFLT12", 10, 0x12, 0, 1, {"Sharp Roll-off", "Slow Roll-off"}, "Reg#12H, Bit0",
                 "DAC L/R", 1, "DAC digital filter roll-off"),
        checkBox("cInvDAC1", 0, 0x13, 0, "Reg#13H, Bit0", "DAC L-ch Invert", 1, "DAC output phase"),
        checkBox("cInvDAC2", 1, 0x13, 1, "Reg#13H, Bit1", "DAC R-ch Invert", 1, "DAC output phase"),
        // Sheet 2: attenuation
        track("tkDAC1", "edDAC1", 1, 0x18, "Reg#18H, Bit7-0", "DAC L"),
        checkBox("cDAC1", 20, 0x14, 0, "Reg#14H, Bit0", "Mute", 2, {}),
        track("tkDAC2", "edDAC2", 2, 0x19, "Reg#19H, Bit7-0", "DAC R"),
        checkBox("cDAC2", 21, 0x14, 1, "Reg#14H, Bit1", "Mute", 2, {}),
        radio("rgDACAttMode", 1, 0x16, 7, {"Fine Step (0.5dB Step)", "Wide Range (1.0dB step)"},
              "Reg#16H, Bit7", "Digital Attenuation mode", 2),
        // Sheet 3: zero flag
        dropDown("cbZeroFunc", 6, 0x16, 1, 1,
                 {"ZERO1: L-ch, ZERO2: R-ch", "ZERO1: L-ch or R-ch, ZERO2: L-ch and R-ch"},
                 "Reg#16H, Bit1", "Zero flag pin function", 3, "DAC zero flag"),
        dropDown("cbZeroPole", 7, 0x16, 0, 1, {"High for Zero detect", "Low for Zero detect"},
                 "Reg#16H, Bit0", "Zero flag polarity", 3, "DAC zero flag"),
        dropDown("cbAMuteoZero", 5, 0x16, 3, 1,
                 {"ZERO2 pin is assigned ZERO2 function", "ZERO2 pin is assigned AMUTEO function"},
                 "Reg#16H, Bit3", "AMUTEO/ZERO Flag", 3, "DAC zero flag"),
        // Sheet 4: analog mute sources
        checkBox("cbAMUTE1", 38, 0x10, 2, "Reg#10H, Bit2", "SCKI lost", 4,
                 "Analog Mute Control Source Selection"),
        checkBox("cbAMUTE2", 39, 0x10, 3, "Reg#10H, Bit3", "Asynchronous detected", 4,
                 "Analog Mute Control Source Selection"),
        checkBox("cbAMUTE3", 40, 0x10, 4, "Reg#10H, Bit4", "ZERO1 or ZERO2 detected", 4,
                 "Analog Mute Control Source Selection"),
        checkBox("cbAMUTE4", 41, 0x10, 5, "Reg#10H, Bit5", "DAC disable command", 4,
                 "Analog Mute Control Source Selection"),
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

} // namespace larkspur
