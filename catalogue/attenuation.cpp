#include "attenuation.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace larkspur {

std::string decibelText(int reference, int value, bool wide, char separator) {
    // Every value is a whole number of half decibels: count in tenths to avoid rounding.
    const int tenths = (reference - value) * (wide ? -10 : -5);
    const int magnitude = std::abs(tenths);
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += separator;
    text += std::to_string(magnitude % 10);
    return text;
}

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

int typedPosition(float x, int minimum, int maximum, int reference, int divisor) {
    // Integer division truncates toward zero, as the limits are meant.
    const int upper = (maximum - reference) / divisor;
    const int lower = (minimum - reference) / divisor;
    double value = x;
    if (value > upper) {
        value = upper;
    }
    if (value < lower) {
        value = lower;
    }
    return static_cast<int>(std::trunc(divisor * value + reference));
}

} // namespace larkspur
