// The codec's operating controls as data: from this table the main window builds its tab sheets,
// fills the binding tables and names every control for assistive technology.
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

struct BoundControl {
    std::string_view name; // object name: cbDACFMT
    ControlKind kind;
    int tag;   // index in the binding table of its kind
    int reg;   // codec register 0x10 to 0x19, without device bits
    int shift; // lowest bit of the field (the bit of a check box or radio group)
    int width; // bits of the field
    std::vector<std::string_view> items; // drop-down and radio items in order
    int defaultValue;                    // item index, or 1 = checked; track: position
    std::string_view tooltip;            // "Reg#11H, Bit2-0"
    // The text that names the control: a check box's caption, a radio group's caption, the
    // label beside a drop-down list, a track bar's row label.
    std::string_view caption;
    int sheet;                 // tab index
    std::string_view group;    // caption of the group box it sits in ("" when none)
    bool enabled = true;       // the master/slave list only shows the mode
    std::string_view editName; // track: its edit field
    int columns = 1;           // radio groups
};

// Every bound control, sheet by sheet, in the order they appear.
const std::vector<BoundControl>& controlCatalogue();

// The row of a control by name, or null.
const BoundControl* findControl(std::string_view name);

} // namespace larkspur
