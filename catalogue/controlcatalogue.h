// The codec's operating controls as data: from these tables the main window builds its tab
// sheets, the group boxes on them and the controls in them, fills the binding tables and names
// every control for assistive technology. Texts are kept as shipped, typos included
// ("Inteface", "Controled"): users know the panel by them.
#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace larkspur {

enum class ControlKind { CheckBox, DropDown, Radio, Track };

inline constexpr int kTabCount = 5;

struct TabSheetInfo {
    std::string_view name;    // object name of the sheet
    std::string_view caption; // tab text
};

// The sheets in tab order.
const std::array<TabSheetInfo, kTabCount>& tabSheets();

// A rectangle in its parent's coordinates.
struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct GroupBoxInfo {
    std::string_view name;    // GroupBox1
    std::string_view caption; // also how the controls name the group they sit in
    int sheet = 0;
    Box geometry;
    std::string_view tooltip = {};
    // Painted with the window's colour rather than the sheet's.
    bool filled = false;
};

// The group boxes on the sheets, in creation order.
const std::vector<GroupBoxInfo>& groupBoxes();

// A label that explains a group and is bound to nothing.
struct NoteInfo {
    std::string_view group; // caption of the group box it sits in
    std::string_view text;
    int left = 0;
    int top = 0;
    int points = 0; // 0: the window's type size
    // Made before the bound controls rather than after them, which puts it first for assistive
    // technology.
    bool beforeControls = false;
};

const std::vector<NoteInfo>& notes();

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
    int sheet = 0;               // tab index
    std::string_view group = {}; // caption of the group box it sits in; empty: on the sheet
    // Where it sits in its group box or sheet; a track's width is its own, a radio group is
    // 50 pixels high, the rest take their natural height. A label beside the control (a list's
    // caption, sideLabel) stands at the group's left edge on the same line.
    Box at;
    std::string_view sideLabel = {}; // a label beside a check box whose caption is its own
    bool enabled = true;             // the master/slave list only shows the mode
    std::string_view editName = {};  // track: its edit field
    int columns = 1;                 // radio groups
    int points = 0;                  // 0: the window's type size
};

// Every bound control, sheet by sheet, in the order they appear.
const std::vector<BoundControl>& controlCatalogue();

// The row of a control by name, or null.
const BoundControl* findControl(std::string_view name);

// The zero-flag row on the "DAC zero flag" sheet: two lamps with their captions, and the buttons
// that read and clear them.
struct ZeroFlagRowInfo {
    std::string_view group;
    int top = 0;
    std::string_view label;
    std::array<std::string_view, 2> lampNames;
    std::array<std::string_view, 2> lampTips;
    std::array<std::string_view, 2> lampCaptions;
    std::string_view readCaption;
    std::string_view clearCaption;
};

const ZeroFlagRowInfo& zeroFlagRow();

} // namespace larkspur
