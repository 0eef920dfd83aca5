#include "portchoice.h"

#include "devicetexts.h"
#include "link/ports.h"
#include "notation/numbernotation.h"

#include <cstdlib>
#include <stdexcept>

namespace larkspur {

PortChoice parsePortChoice(const std::string& value) {
    PortChoice choice;
    // A URL is never a device, even one the library cannot read: "tcp://lab-rack" is a mistake
    // to name, not a file to look for.
    if (sundial::isPortUrl(value)) {
        if (!sundial::parsePortUrl(value)) {
            throw std::invalid_argument("--port '" + value + "' is " + text::kPortBadUrl);
        }
        choice.name = value;
    } else if (value.find('/') != std::string::npos) {
        choice.name = value;
    } else if (const auto number = parseNumber(value); number && *number >= 1) {
        choice.number = *number;
    } else {
        throw std::invalid_argument("--port takes a port number, a device path or a URL, not '" +
                                    value + "'");
    }
    return choice;
}

void applyPortChoice(const PortChoice& choice) {
    if (!choice.name.empty()) {
        ::setenv("SUNDIAL_PORTS", choice.name.c_str(), 1);
    }
}

} // namespace larkspur
