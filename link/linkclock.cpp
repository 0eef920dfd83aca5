#include "linkclock.h"

#include <chrono>

namespace sundial {

long long steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace sundial
