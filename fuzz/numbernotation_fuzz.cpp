// Fuzz target for the number notation: never crashes, and every number it accepts reads back the
// same in decimal and in each hexadecimal form.
#include "notation/hextext.h"
#include "notation/numbernotation.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = larkspur::parseNumber(text);
    if (!value) {
        return 0;
    }
    // Accepted text has no trailing blank and at least one digit.
    require(!text.empty() && text.back() != ' ');
    require(larkspur::parseNumber(std::to_string(*value)) == value);
    const std::string hex = larkspur::hexText(*value, 1);
    for (const char* prefix : {"0x", "0X", "x", "X", "$"}) {
        require(larkspur::parseNumber(prefix + hex) == value);
        require(larkspur::parseNumber("  " + std::string(prefix) + hex) == value);
    }
    require(!larkspur::parseNumber(std::string(text) + " "));
    return 0;
}
