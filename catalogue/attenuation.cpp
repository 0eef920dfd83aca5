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
