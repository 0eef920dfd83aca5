#include "registerarguments.h"

#include "cli/clioptions.h"
#include "notation/hextext.h"
#include "notation/numbernotation.h"

namespace larkspur::cli {

namespace {

std::string lastRegisterText() {
    return "0x" + hexText(kLastRegisterAddress, 2);
}

} // namespace

std::int32_t numberArgument(const std::string& text, const char* what) {
    const auto value = parseNumber(text);
    if (!value) {
        throw UsageError(std::string(what) + " '" + text + "' is no number");
    }
    return *value;
}

std::int32_t registerArgument(const std::string& text) {
    const std::int32_t value = numberArgument(text, "register");
    if (value < 0 || value > kLastRegisterAddress) {
        throw UsageError("register '" + text + "' is not 0 to " + lastRegisterText());
    }
    return value;
}

std::uint8_t valueArgument(const std::string& text) {
    const std::int32_t value = numberArgument(text, "value");
    if (value < 0 || value > kLargestValue) {
        throw UsageError("value '" + text + "' is not 0 to " + std::to_string(kLargestValue));
    }
    return static_cast<std::uint8_t>(value);
}

void requireRegistersUpTo(std::int32_t first, std::int32_t count) {
    if (first + count - 1 > kLastRegisterAddress) {
        throw UsageError(std::to_string(count) + " registers from '0x" + hexText(first, 2) +
                         "' go beyond " + lastRegisterText());
    }
}

} // namespace larkspur::cli
