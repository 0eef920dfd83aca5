#include "numbernotation.h"

namespace larkspur {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<std::int32_t> parseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    if (rest.empty()) {
        return std::nullopt;
    }

    std::size_t prefix = 0;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        prefix = 2;
    } else if (rest[0] == 'x' || rest[0] == 'X' || rest[0] == '$') {
        prefix = 1;
    }

    if (prefix != 0) {
        const std::string_view digits = rest.substr(prefix);
        if (digits.empty()) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (char c : digits) {
            const int digit = hexDigit(c);
            if (digit < 0 || value > 0x0FFFFFFFu) {
                return std::nullopt;
            }
            value = (value << 4) | static_cast<std::uint32_t>(digit);
        }
        // The digits are a 32-bit pattern; the sign negates it modulo 2^32.
        const std::uint32_t pattern = negative ? 0u - value : value;
        return static_cast<std::int32_t>(pattern);
    }

    // Decimal: accumulate the magnitude, then check the range of the signed result.
    std::uint64_t magnitude = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
        if (magnitude > 0x80000000ull) {
            return std::nullopt;
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(0 - static_cast<std::int64_t>(magnitude));
    }
    if (magnitude > 0x7FFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(magnitude);
}

} // namespace larkspur
