// The text of the error box that reports an exception nobody else caught.
#pragma once

#include <string>
#include <string_view>

namespace larkspur {

// The message with a full stop appended when its last character sorts after '.', so that
// "Bad value" reads "Bad value." while "Done." and "x," stay as they are. Empty stays empty.
std::string exceptionText(std::string_view message);

// What the conversions of typed numbers report: "'abc' is not a valid floating point value".
std::string notAFloatMessage(std::string_view typed);
std::string notAnIntegerMessage(std::string_view typed);

} // namespace larkspur
