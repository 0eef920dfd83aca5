#include "netsocket.h"
#include "sundialports.h"

#include <array>
#include <chrono>

namespace sundial {

namespace {

// The greeting a server sends before closing on a client it will not serve ends with a line
// break; beyond this much it is not such a greeting.
constexpr std::size_t kMessageLimit = 200;

} // namespace

NetworkCheck checkNetworkPort(std::string_view name, int timeoutMs, int settleMs) {
    const std::optional<PortUrl> url = parsePortUrl(name);
    if (!url) {
        return {NetworkReach::BadUrl, {}};
    }
    const net::Connection connection = net::connectTo(*url, timeoutMs);
    if (connection.reach != NetworkReach::Connected) {
        return {connection.reach, {}};
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(settleMs);
    std::string seen;
    NetworkCheck check{NetworkReach::Connected, {}};
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const net::Socket sockets[] = {connection.socket};
        if (left <= 0 || !net::waitReadable(sockets, static_cast<int>(left))) {
            break;
        }
        std::array<std::uint8_t, 256> chunk{};
        const int n = net::receive(connection.socket, chunk);
        if (n < 0) {
            check.reach = NetworkReach::Closed;
            break;
        }
        for (int i = 0; i < n && seen.size() < kMessageLimit; ++i) {
            // Telnet negotiation and other bytes that are no text are left out.
            const char c = static_cast<char>(chunk[static_cast<std::size_t>(i)]);
            if (c >= ' ' && c <= '~') {
                seen += c;
            } else if ((c == '\r' || c == '\n') && !seen.empty() && seen.back() != '\n') {
                seen += '\n';
            }
        }
    }
    net::closeSocket(connection.socket);
    if (check.reach == NetworkReach::Closed) {
        check.message = seen.substr(0, seen.find('\n'));
        if (check.message.find("in use") != std::string::npos) {
            check.reach = NetworkReach::Busy;
        }
    }
    return check;
}

} // namespace sundial
