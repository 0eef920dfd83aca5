// POSIX: every port's handle is a descriptor (a serial device or a socket), so one poll() waits
// on all of them.
#include "inputwait.h"
#include "polldeadline.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <vector>

namespace sundial {

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
