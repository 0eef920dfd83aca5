#include "programversion.h"

namespace larkspur {

const char* programVersion() {
    return LARKSPUR_VERSION;
}

} // namespace larkspur
