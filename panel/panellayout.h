// Where the codec's controls sit on the main window: the tab sheets, the group boxes on them,
// the notes, and each catalogue row's place, referred to by the row's name. What the controls
// mean is the catalogue's (catalogue/controlcatalogue.h).
#pragma once

#include "catalogue/controlcatalogue.h"

#include <array>
#include <string_view>
#include <vector>

namespace larkspur {

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

// Where a catalogue row's control sits, and how it looks.
struct ControlPlacement {
    std::string_view name; // the catalogue row's
    int sheet = 0;         // tab index
    // Where it sits in its group box or sheet; a track's width is its own, a radio group is
    // 50 pixels high, the rest take their natural height. A label beside the control (a list's
    // caption, sideLabel) stands at the group's left edge on the same line.
    Box at;
    std::string_view sideLabel = {}; // a label beside a check box whose caption is its own
    std::string_view editName = {};  // track: its edit field
    int columns = 1;                 // radio groups
    int points = 0;                  // 0: the window's type size
};

// The places in the catalogue's order.
const std::vector<ControlPlacement>& controlPlacements();
// The place of the row named `name`.
const ControlPlacement& placementOf(std::string_view name);

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
