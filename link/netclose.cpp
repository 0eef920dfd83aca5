#include "netsocket.h"

#include <array>
#include <chrono>

namespace sundial::net {

void closeGracefully(Socket socket, int lingerMs) {
    shutdownSending(socket);
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(lingerMs);
    std::array<std::uint8_t, 256> scratch{};
    const Socket sockets[] = {socket};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0 || !waitReadable(sockets, static_cast<int>(left)) ||
            receive(socket, scratch) < 0) {
            break;
        }
    }
    closeSocket(socket);
}

} // namespace sundial::net
