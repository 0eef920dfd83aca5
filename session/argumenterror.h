// A request refused before it touches the board, in words for the user: the command line's
// usage errors, the Python module's ValueError.
#pragma once

#include <stdexcept>

namespace larkspur {

class ArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace larkspur
