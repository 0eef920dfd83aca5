// POSIX: every port's handle is a descriptor (a serial device or a socket), so one poll() waits
// on all of them.
#include "inputwait.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <vector>

namespace sundial {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so that poll() never wakes early; 0 when past.
int msUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

} // namespace

void waitForInput(std::span<BoardPort* const> ports, int waitMs) {
    std::vector<pollfd> fds;
    for (const BoardPort* port : ports) {
        fds.push_back({static_cast<int>(port->waitHandle().value), POLLIN, 0});
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (::poll(fds.data(), fds.size(), msUntil(deadline)) < 0 && errno == EINTR) {
    }
}

} // namespace sundial
