// The port a front end is told to use (--port): a number of the link library's table, or one
// port by its name, a device path or a URL, which the library is then given as its only port.
#pragma once

#include <string>

namespace larkspur {

struct PortChoice {
    int number = 0;   // a number of the library's table; 0: none given, the search
    std::string name; // a device path or a URL; the library knows it as port 1

    // The number to open: the number given, 1 for a named port, 0 for the search.
    int port() const { return name.empty() ? number : 1; }
};

// "33", "/dev/ttyUSB0", "tcp://lab-rack:3001", "rfc2217://[fd00::7]:2217". A value with '/' that
// is no URL is taken as a device path. Throws std::invalid_argument with the words for the user,
// which name the option: "--port ...".
PortChoice parsePortChoice(const std::string& value);

// Gives a named port to the library as its list of one (SUNDIAL_PORTS); a number or no choice
// leaves the list as it is.
void applyPortChoice(const PortChoice& choice);

} // namespace larkspur
