// The text of the error box that reports an exception nobody else caught.
#pragma once

#include <string>
#include <string_view>

namespace larkspur {

// The message with a full stop appended when its last character sorts after '.', so that
// "Bad value" reads "Bad value." while "Done." and "x," stay as they are. Empty stays empty.
std::string exceptionText(std::string_view message);

} // namespace larkspur
