#include "netsocket.h"
#include "ports.h"

#include <array>
#include <chrono>

namespace sundial {

namespace {

// The greeting a server sends before closing on a client it will not serve ends with a line
// break; beyond this much it is not such a greeting.
constexpr std::size_t kMessageLimit = 200;
// How long leaving may wait for the server to close its side.
constexpr int kLingerMs = 500;

// Recognises telnet sequences byte by byte, across reads.
class TelnetSkipper {
public:
    // Whether `byte` belongs to a telnet sequence.
    bool skip(std::uint8_t byte) {
        constexpr std::uint8_t kIac = 255;
        constexpr std::uint8_t kSb = 250;
        constexpr std::uint8_t kSe = 240;
        constexpr std::uint8_t kWill = 251;
        switch (m_state) {
        case State::Text:
            if (byte == kIac) {
                m_state = State::Command;
                return true;
            }
            return false;
        case State::Command:
            m_state = byte == kSb ? State::Sub : byte >= kWill ? State::Option : State::Text;
            return byte != kIac; // IAC IAC is a data byte 255, no text either way
        case State::Option:
            m_state = State::Text;
            return true;
        case State::Sub:
            m_state = byte == kIac ? State::SubIac : State::Sub;
            return true;
        case State::SubIac:
            m_state = byte == kSe ? State::Text : State::Sub;
            return true;
        }
        return false;
    }

private:
    enum class State { Text, Command, Option, Sub, SubIac };
    State m_state = State::Text;
};

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
    TelnetSkipper telnet;
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
            const std::uint8_t byte = chunk[static_cast<std::size_t>(i)];
            // A telnet server's negotiation is no part of its message: IAC and the command,
            // the option after WILL, WONT, DO and DONT, subnegotiations up to IAC SE.
            if (telnet.skip(byte)) {
                continue;
            }
            const char c = static_cast<char>(byte);
            if (c >= ' ' && c <= '~') {
                seen += c;
            } else if ((c == '\r' || c == '\n') && !seen.empty() && seen.back() != '\n') {
                seen += '\n';
            }
        }
    }
    if (check.reach == NetworkReach::Connected) {
        // Leave as the link does: the server lets go of its port before the caller's next
        // connection (a probe right after the check) can find it still in use.
        net::closeGracefully(connection.socket, kLingerMs);
    } else {
        net::closeSocket(connection.socket);
    }
    if (check.reach == NetworkReach::Closed) {
        check.message = seen.substr(0, seen.find('\n'));
        if (check.message.find("in use") != std::string::npos) {
            check.reach = NetworkReach::Busy;
        }
    }
    return check;
}

} // namespace sundial
