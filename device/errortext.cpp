#include "errortext.h"

#include "devicetexts.h"

namespace larkspur {

std::string exceptionText(std::string_view message) {
    std::string text(message);
    // Compared as unsigned: a byte of a multi-byte character sorts after '.' as well.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

std::string notAFloatMessage(std::string_view typed) {
    return "'" + std::string(typed) + "' " + text::kNotAFloat;
}

std::string notAnIntegerMessage(std::string_view typed) {
    return "'" + std::string(typed) + "' " + text::kNotAnInteger;
}

} // namespace larkspur
