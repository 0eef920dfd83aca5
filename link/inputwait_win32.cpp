// Windows: sockets and COM port handles, which cannot be waited on in one call.
#include "inputwait.h"

#include "netsocket.h"

#include <vector>

// Winsock before windows.h, which would otherwise bring in the old socket header.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

namespace sundial {

void waitForInput(std::span<BoardPort* const> ports, int waitMs) {
    // Sockets can be waited on together; a COM port opened for plain (not overlapped) calls
    // cannot, so with one among them the wait looks at every port's input queue each
    // millisecond.
    std::vector<net::Socket> sockets;
    for (const BoardPort* port : ports) {
        if (port->waitHandle().socket) {
            sockets.push_back(port->waitHandle().value);
        }
    }
    if (sockets.size() == ports.size()) {
        net::waitReadable(sockets, waitMs);
        return;
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(waitMs);
    for (;;) {
        if (!sockets.empty() && net::waitReadable(sockets, 0)) {
            return;
        }
        for (const BoardPort* port : ports) {
            const BoardPort::WaitHandle wait = port->waitHandle();
            COMSTAT status{};
            DWORD errors = 0;
            if (!wait.socket &&
                (!::ClearCommError(reinterpret_cast<HANDLE>(wait.value), &errors, &status) ||
                 status.cbInQue > 0)) {
                return;
            }
        }
        if (::GetTickCount64() >= deadline) {
            return;
        }
        ::Sleep(1);
    }
}

} // namespace sundial
