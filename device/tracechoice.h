// Where a front end is told to have the link library trace its traffic (--trace FILE, "-" for
// standard error): the library reads SUNDIAL_TRACE at its next _init.
#pragma once

#include <string>

namespace larkspur {

// Sets SUNDIAL_TRACE to `path`; an empty path leaves the environment as it is.
void applyTraceChoice(const std::string& path);

} // namespace larkspur
