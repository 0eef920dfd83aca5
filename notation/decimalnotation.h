// Decimal numbers as the user types them (attenuation in decibels), with the decimal separator
// of the user's locale.
#pragma once

#include <optional>
#include <string_view>

namespace larkspur {

// A decimal number as typed: blanks around it, a sign, digits with at most one `separator`,
// an exponent. Held in single precision; empty when the text is no number or the value is not
// finite in single precision.
std::optional<float> parseDecimal(std::string_view text, char separator);

} // namespace larkspur
