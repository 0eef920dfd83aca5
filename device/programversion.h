// The program's version ("1.0.0"), as the about box, --version and the Python package give it;
// the link library reports its own.
#pragma once

namespace larkspur {

const char* programVersion();

} // namespace larkspur
