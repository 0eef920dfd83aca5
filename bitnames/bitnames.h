// The codec's register bits by name, as the register map window shows them.
#pragma once

#include <string>
#include <string_view>

namespace larkspur {

inline constexpr int kMapFirstRegister = 0x10;
inline constexpr int kMapRows = 10;
inline constexpr int kBitsPerRegister = 8;

// Name of bit `bit` (7 = most significant) of register kMapFirstRegister + `row`; "-" for a bit
// without a name. Outside the table the answer is empty.
std::string_view bitName(int row, int bit);

// Whether bit `bit` of an 8-bit register value is 1.
constexpr bool bitIsSet(int value, int bit) {
    return ((value >> bit) & 1) != 0;
}

// A row label: the register address value as two upper-case hexadecimal digits ("10", "5A").
std::string rowLabelText(int addressValue);

} // namespace larkspur
