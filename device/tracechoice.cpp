#include "tracechoice.h"

#include <cstdlib>

namespace larkspur {

void applyTraceChoice(const std::string& path) {
    if (!path.empty()) {
        ::setenv("SUNDIAL_TRACE", path.c_str(), 1);
    }
}

} // namespace larkspur
