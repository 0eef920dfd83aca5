#include "fieldvalues.h"

#include "attenuation.h"
#include "bindingmath.h"
#include "notation/decimalnotation.h"
#include "notation/numbernotation.h"

#include <algorithm>
#include <cctype>

namespace larkspur {

namespace {

constexpr char kPoint = '.';

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<bool> onOff(std::string_view text) {
    for (std::string_view on : {"on", "1", "true"}) {
        if (sameIgnoringCase(text, on)) {
            return true;
        }
    }
    for (std::string_view off : {"off", "0", "false"}) {
        if (sameIgnoringCase(text, off)) {
            return false;
        }
    }
    return std::nullopt;
}

// An item by its text (exact, then ignoring case) or by its number.
std::optional<int> itemOf(const BoundControl& row, std::string_view text) {
    for (const bool exact : {true, false}) {
        for (std::size_t i = 0; i < row.items.size(); ++i) {
            if (exact ? row.items[i] == text : sameIgnoringCase(row.items[i], text)) {
                return static_cast<int>(i);
            }
        }
    }
    const auto number = parseNumber(text);
    if (number && *number >= 0 && *number < static_cast<int>(row.items.size())) {
        return *number;
    }
    return std::nullopt;
}

} // namespace

int fieldItem(const BoundControl& row, std::uint8_t registerValue) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        return checkBoxState(registerValue, row.shift) ? 1 : 0;
    case ControlKind::DropDown:
        return dropDownItem(registerValue, row.shift, row.width);
    case ControlKind::Radio:
        return radioItem(registerValue, row.shift);
    case ControlKind::Track:
        break;
    }
    return registerValue;
}

int withFieldItem(const BoundControl& row, std::uint8_t registerValue, int item) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        return checkBoxWrite(registerValue, row.shift, item != 0);
    case ControlKind::DropDown:
        return dropDownWrite(registerValue, row.shift, row.width, item);
    case ControlKind::Radio:
        return radioWrite(registerValue, row.shift, item);
    case ControlKind::Track:
        break;
    }
    return item;
}

std::string fieldText(const BoundControl& row, std::uint8_t registerValue, bool wide) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        return fieldItem(row, registerValue) != 0 ? "on" : "off";
    case ControlKind::DropDown:
    case ControlKind::Radio: {
        const int item = fieldItem(row, registerValue);
        if (item < static_cast<int>(row.items.size())) {
            return std::string(row.items[static_cast<std::size_t>(item)]);
        }
        return std::to_string(item);
    }
    case ControlKind::Track:
        return decibelText(kReferencePosition, registerValue, wide, kPoint);
    }
    return {};
}

std::optional<std::uint8_t> fieldWrite(const BoundControl& row, std::uint8_t registerValue,
                                       std::string_view text, bool wide) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        if (const auto on = onOff(text)) {
            return static_cast<std::uint8_t>(withFieldItem(row, registerValue, *on ? 1 : 0));
        }
        return std::nullopt;
    case ControlKind::DropDown:
    case ControlKind::Radio:
        if (const auto item = itemOf(row, text)) {
            return static_cast<std::uint8_t>(withFieldItem(row, registerValue, *item));
        }
        return std::nullopt;
    case ControlKind::Track:
        if (const auto decibels = parseDecimal(text, kPoint)) {
            // A value beyond the track is refused rather than clamped: a script or a test rig
            // that asks for -200 dB has a fault the edit field's clamping would hide.
            const double lowest = static_cast<double>(trackMinimum(wide) - kReferencePosition) /
                                  stepsPerDecibel(wide);
            if (!(*decibels <= 0.0 && *decibels >= lowest)) {
                return std::nullopt;
            }
            // As the edit field takes it: the track position is truncated, so a value between two
            // steps goes to the one with more attenuation (-0.4 dB is set as -0.5 dB).
            return static_cast<std::uint8_t>(typedPosition(*decibels, trackMinimum(wide),
                                                           kTrackMaximum, kReferencePosition,
                                                           stepsPerDecibel(wide)));
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::string fieldChoices(const BoundControl& row, bool wide) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        return "on|off";
    case ControlKind::DropDown:
    case ControlKind::Radio: {
        std::string choices;
        for (std::string_view item : row.items) {
            choices += (choices.empty() ? "" : "|") + std::string(item);
        }
        return choices;
    }
    case ControlKind::Track:
        return decibelText(kReferencePosition, trackMinimum(wide), wide, kPoint) + " to 0.0 dB";
    }
    return {};
}

const BoundControl* findField(std::string_view key, std::vector<std::string_view>* matches) {
    for (const BoundControl& row : controlCatalogue()) {
        if (row.name == key) {
            return &row;
        }
    }
    for (const bool exact : {true, false}) {
        std::vector<const BoundControl*> found;
        for (const BoundControl& row : controlCatalogue()) {
            if (exact ? row.caption == key : sameIgnoringCase(row.caption, key)) {
                found.push_back(&row);
            }
        }
        if (found.size() == 1) {
            return found.front();
        }
        if (found.size() > 1) {
            if (matches != nullptr) {
                for (const BoundControl* row : found) {
                    matches->push_back(row->name);
                }
            }
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace larkspur
