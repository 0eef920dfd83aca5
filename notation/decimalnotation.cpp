#include "decimalnotation.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace larkspur {

std::optional<float> parseDecimal(std::string_view text, char separator) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    // Rebuild the number in the C locale's form, accepting nothing std::strtod would add
    // beyond the pattern (no hexadecimal, no "inf", no "nan").
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        plain += text[i++];
    }
    int digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        plain += text[i++];
        ++digits;
    }
    if (i < text.size() && text[i] == separator) {
        plain += '.';
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            plain += text[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            plain += text[i++];
        }
        int exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    const double value = std::strtod(plain.c_str(), nullptr);
    const auto single = static_cast<float>(value);
    if (!std::isfinite(value) || !std::isfinite(single)) {
        return std::nullopt;
    }
    return single;
}

} // namespace larkspur
