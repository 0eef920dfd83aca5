// A bound control's bit-field as text, the way the control shows it, and a text put back into
// the register: what a front end without widgets needs to read and set the codec by its controls.
#pragma once

#include "controlcatalogue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspur {

// The one reading and setting of a field in a register value, for the panel and the session
// alike: a check box's item is 1 when checked, a list's or radio group's is its item number, a
// track's is the whole register (its position).
int fieldItem(const BoundControl& row, std::uint8_t registerValue);
int withFieldItem(const BoundControl& row, std::uint8_t registerValue, int item);

// Check boxes "on" or "off"; lists and radio groups the item's text; tracks the attenuation in
// dB as the edit field shows it ("-55.0", with a point). An item number beyond the list is
// shown as the number. `wide` is the attenuation mode (register 0x16, bit 7).
std::string fieldText(const BoundControl& row, std::uint8_t registerValue, bool wide);

// `registerValue` with the field set from `text`: check boxes take on/off, 1/0, true/false;
// lists and radio groups an item's text or its number; tracks a value in dB within what the track
// can show in the current mode, between two steps taken to the one with more attenuation. Empty
// when the text is none of these, or a dB value beyond the track (it is refused, not clamped).
std::optional<std::uint8_t> fieldWrite(const BoundControl& row, std::uint8_t registerValue,
                                       std::string_view text, bool wide);

// The values a field takes, for listings: "on|off", the items joined by '|', or the dB range.
std::string fieldChoices(const BoundControl& row, bool wide);

// The control whose caption (or name) is `key`: exact, then without regard to case. Captions
// that several controls share are ambiguous: `matches` then lists their names.
const BoundControl* findField(std::string_view key, std::vector<std::string_view>* matches);

} // namespace larkspur
