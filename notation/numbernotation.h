// Integers typed by people and stored in files: "26", "0x1A", "$1a", "x1A", "-5", "+0X7f".
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace larkspur {

// Leading spaces, an optional sign, then either a hexadecimal prefix ("0x", "0X", "x", "X" or
// "$") with at least one hex digit, taken as a 32-bit pattern (so 0xFFFFFFFF is -1), or decimal
// digits within the signed 32-bit range (a leading zero does not mean octal). Nothing may follow
// the digits. Anything else, overflow included, is no number.
std::optional<std::int32_t> parseNumber(std::string_view text);

} // namespace larkspur
