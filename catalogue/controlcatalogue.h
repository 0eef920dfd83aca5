// The codec's fields, one row each: what a control means (its register, bits, items, default,
// caption and group), for the panel, the command line and the Python module alike. Where each
// control sits on the window is the panel's layout (panel/panellayout.h). Texts are kept as
// shipped, typos included ("Inteface", "Controled"): users know the panel by them.
#pragma once

#include <string_view>
#include <vector>

namespace larkspur {

enum class ControlKind { CheckBox, DropDown, Radio, Track };

// The captions of the group boxes, which also name the group a control belongs to.
namespace groupcaptions {
inline constexpr std::string_view kAudioInterface = "Audio interface";
inline constexpr std::string_view kSamplingMode = "Sampling mode";
inline constexpr std::string_view kDeEmphasis = "DAC De-emphasis";
inline constexpr std::string_view kOperationDisable = "DAC operation disable";
inline constexpr std::string_view kRollOff = "DAC digital filter roll-off";
inline constexpr std::string_view kOutputPhase = "DAC output phase";
inline constexpr std::string_view kZeroFlag = "DAC zero flag";
inline constexpr std::string_view kMuteSources = "Analog Mute Control Source Selection";
} // namespace groupcaptions

struct BoundControl {
    std::string_view name; // object name: cbDACFMT
    ControlKind kind = ControlKind::CheckBox;
    int tag = 0;   // index in the binding table of its kind
    int reg = 0;   // codec register 0x10 to 0x19, without device bits
    int shift = 0; // lowest bit of the field (the bit of a check box or radio group)
    int width = 1; // bits of the field
    std::vector<std::string_view> items = {}; // drop-down and radio items in order
    int defaultValue = 0;                     // item index, or 1 = checked; track: position
    std::string_view tooltip;                 // "Reg#11H, Bit2-0"
    // The text that names the control: a check box's caption, a radio group's caption, the
    // label beside a drop-down list, a track bar's row label.
    std::string_view caption;
    std::string_view group = {}; // caption of the group box it sits in; empty: on the sheet
    bool enabled = true;         // settable; the master/slave list only shows the mode
};

// Every bound control, sheet by sheet, in the order they appear.
const std::vector<BoundControl>& controlCatalogue();

// The row of a control by name, or null.
const BoundControl* findControl(std::string_view name);

} // namespace larkspur
