// Numbers as the program shows them: upper-case hexadecimal with a minimum of digits.
#pragma once

#include <cstdint>
#include <string>

namespace larkspur {

// The 32-bit pattern of `value`, so a negative number shows as its two's complement.
inline std::string hexText(std::int64_t value, int minDigits) {
    static const char* digits = "0123456789ABCDEF";
    auto pattern = static_cast<std::uint32_t>(value);
    std::string text;
    do {
        text.insert(text.begin(), digits[pattern & 0x0F]);
        pattern >>= 4;
    } while (pattern != 0);
    if (static_cast<int>(text.size()) < minDigits) {
        text.insert(0, static_cast<std::size_t>(minDigits) - text.size(), '0');
    }
    return text;
}

} // namespace larkspur
