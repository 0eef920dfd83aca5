// A deadline on the steady clock as poll()'s time-out, for the POSIX backends.
#pragma once

#include <chrono>

namespace sundial {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so that poll() never wakes early; 0 when past.
inline int msUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

} // namespace sundial
