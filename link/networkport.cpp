#include "networkport.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <thread>

namespace sundial {

namespace {

int msLeftUntil(long long deadline, long long now) {
    return static_cast<int>(std::clamp(deadline - now, 0LL, static_cast<long long>(INT_MAX)));
}

// Keeps the newest kInputLimit bytes.
void keepNewest(std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > kInputLimit) {
        bytes.erase(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(kInputLimit));
    }
}

} // namespace

long long monotonicMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool waitForSocket(net::Socket socket, int waitMs) {
    const net::Socket sockets[] = {socket};
    return net::waitReadable(sockets, waitMs);
}

int NetworkPort::msLeft(long long deadline) const {
    return msLeftUntil(deadline, m_timing.clock());
}

std::unique_ptr<BoardPort> NetworkPort::open(const PortUrl& url) {
    // A server that serves one client per port (ser2net) frees the port a few milliseconds
    // after its last client has gone, and turns a client away meanwhile: it says so and closes.
    // A client turned away at once tries again, within the connect time-out.
    const long long deadline = monotonicMilliseconds() + kConnectTimeoutMs;
    const auto msLeft = [deadline] { return msLeftUntil(deadline, monotonicMilliseconds()); };
    for (;;) {
        const net::Connection connection = net::connectTo(url, msLeft());
        if (connection.reach != NetworkReach::Connected) {
            return nullptr;
        }
        auto port = std::make_unique<NetworkPort>(connection.socket,
                                                  url.protocol == PortUrl::Protocol::Rfc2217);
        const bool ready = port->m_telnet ? port->negotiate() : port->notTurnedAway();
        if (ready) {
            return port;
        }
        if (!port->m_broken || msLeft() <= kTurnedAwayPauseMs) {
            return nullptr; // refused in words, not turned away; or no time left
        }
        port.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(kTurnedAwayPauseMs));
    }
}

bool NetworkPort::notTurnedAway() {
    // A raw server that turns a client away does so on accepting it, before the client says a
    // word; one that serves it says nothing.
    const long long deadline = m_timing.clock() + kTurnAwayMs;
    bool open = true;
    while (open && msLeft(deadline) > 0) {
        open = pumpWithin(msLeft(deadline)); // its words, then its close
    }
    discardInput();
    return open;
}

bool NetworkPort::negotiate() {
    const long long deadline = m_timing.clock() + kNegotiationLimitMs;
    const auto await = [&](auto done) {
        while (!done()) {
            if (m_codec.refused() || msLeft(deadline) == 0 || !pumpWithin(msLeft(deadline))) {
                return false;
            }
        }
        return !m_codec.refused();
    };
    if (!sendAll(TelnetCodec::greeting(), kWriteTimeoutMs) ||
        !await([&] { return m_codec.binaryAccepted() && m_codec.comPortAccepted(); }) ||
        !sendAll(TelnetCodec::lineSettings(), kWriteTimeoutMs) ||
        !await([&] { return m_codec.settingsAnswered(); })) {
        return false;
    }
    // A server that set something else would carry the board's bytes wrongly.
    if (!m_codec.settingsAsked()) {
        return false;
    }
    // Whatever came before the line was set up (a banner) is no answer of the board.
    discardInput();
    return true;
}

bool NetworkPort::pump(std::size_t limit) {
    if (m_broken) {
        return false;
    }
    std::array<std::uint8_t, kPumpLimit> wire{};
    std::vector<std::uint8_t> answers;
    for (std::size_t taken = 0; taken < limit;) {
        const int n =
            net::receive(m_socket, std::span(wire).first(std::min(wire.size(), limit - taken)));
        if (n < 0) {
            m_broken = true;
            return false;
        }
        if (n == 0) {
            break;
        }
        taken += static_cast<std::size_t>(n);
        const std::span<const std::uint8_t> got(wire.data(), static_cast<std::size_t>(n));
        // What has been read goes first, so that the newest kInputLimit bytes fit.
        m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(m_dataStart));
        m_dataStart = 0;
        if (m_telnet) {
            m_codec.decode(got, m_data, m_held, answers);
        } else {
            m_data.insert(m_data.end(), got.begin(), got.end());
        }
        keepNewest(m_data);
        keepNewest(m_held);
    }
    if (m_codec.purgesAcknowledged() != m_purgeAcksSeen) {
        m_purgeAcksSeen = m_codec.purgesAcknowledged();
        m_unansweredPurges = 0; // it does acknowledge: a late one came from a stalled server
        m_purgeByServer = true;
    }
    if (m_codec.purgesPending() > 0 &&
        m_timing.clock() - m_purgeSentAt >= m_timing.purgeAckLimitMs) {
        // The server does not acknowledge purges (or not in time): what it held back is data,
        // the answer to the request that went with the purge among it. After a few such purges
        // the server is no longer asked.
        m_codec.forgetPurges();
        m_purgeByServer = ++m_unansweredPurges < kUnansweredPurgeLimit;
        m_data.insert(m_data.end(), m_held.begin(), m_held.end());
        m_held.clear();
        keepNewest(m_data);
    }
    if (!answers.empty() && !sendAll(answers, kWriteTimeoutMs)) {
        return false;
    }
    return true;
}

bool NetworkPort::pumpWithin(int waitMs) {
    if (m_broken) {
        return false;
    }
    if (m_codec.purgesPending() > 0) {
        // What the purge holds back is given up on at its limit, not at the end of the wait.
        waitMs = std::min(waitMs, msLeft(m_purgeSentAt + m_timing.purgeAckLimitMs));
    }
    m_timing.waiter(m_socket, waitMs);
    return pump();
}

std::size_t NetworkPort::take(std::span<std::uint8_t> buffer) {
    const std::size_t n = std::min(buffer.size(), m_data.size() - m_dataStart);
    std::copy_n(m_data.begin() + static_cast<std::ptrdiff_t>(m_dataStart), n, buffer.begin());
    m_dataStart += n;
    if (m_dataStart == m_data.size()) {
        m_data.clear();
        m_dataStart = 0;
    }
    return n;
}

void NetworkPort::discardInput() {
    m_data.clear();
    m_dataStart = 0;
    m_held.clear();
}

int NetworkPort::read(std::span<std::uint8_t> buffer) {
    if (buffer.empty()) {
        return 0;
    }
    // As a serial port's read call: what is already there comes back at once; otherwise wait
    // for the whole count until the read time-out.
    const bool alive = pump();
    std::size_t got = take(buffer);
    if (got > 0) {
        return static_cast<int>(got);
    }
    if (!alive) {
        return -1;
    }
    const long long deadline = m_timing.clock() + kReadTimeoutMs;
    while (got < buffer.size()) {
        const int wait = msLeft(deadline);
        if (wait == 0) {
            break;
        }
        const bool open = pumpWithin(wait);
        got += take(buffer.subspan(got));
        if (!open) {
            return -1; // closed or reset by the server: no use waiting for the rest
        }
    }
    return static_cast<int>(got);
}

int NetworkPort::readSoon(std::span<std::uint8_t> buffer, int waitMs) {
    const long long deadline = m_timing.clock() + waitMs;
    bool alive = pump();
    for (;;) {
        const std::size_t got = take(buffer);
        if (got > 0) {
            return static_cast<int>(got);
        }
        if (!alive) {
            return -1;
        }
        const int wait = msLeft(deadline);
        if (wait == 0) {
            return 0;
        }
        alive = pumpWithin(wait);
    }
}

bool NetworkPort::sendAll(std::span<const std::uint8_t> wire, long long limitMs) {
    const long long deadline = m_timing.clock() + limitMs;
    std::size_t sent = 0;
    while (sent < wire.size()) {
        if (m_broken) {
            return false;
        }
        const int n = net::sendSome(m_socket, wire.subspan(sent));
        if (n < 0) {
            m_broken = true;
            return false;
        }
        sent += static_cast<std::size_t>(n);
        if (sent < wire.size() && !net::waitWritable(m_socket, msLeft(deadline))) {
            return false;
        }
    }
    return true;
}

bool NetworkPort::write(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> wire = std::move(m_out);
    m_out.clear();
    const bool purging = !wire.empty();
    if (m_telnet) {
        TelnetCodec::encodeData(bytes, wire);
    } else {
        wire.insert(wire.end(), bytes.begin(), bytes.end());
    }
    if (purging) {
        m_purgeSentAt = m_timing.clock();
    }
    return sendAll(wire,
                   kWriteTimeoutPerByteMs * static_cast<long long>(bytes.size()) + kWriteTimeoutMs);
}

void NetworkPort::purgeReceive() {
    // What the socket holds has been received as much as what the port holds: both go, though
    // no more than kPurgeLimit of a flood that never ends.
    pump(std::clamp(net::pendingBytes(m_socket), kPumpLimit, kPurgeLimit));
    discardInput();
    // TCP keeps order: everything the server sends before acknowledging a purge was read from
    // the board before it, so belongs to no transaction to come. The request goes out behind
    // the purge, in the same segment.
    if (m_telnet && m_purgeByServer && m_out.empty()) {
        m_out = TelnetCodec::purgeRequest();
        m_codec.purgeSent();
        m_purgeSentAt = m_timing.clock();
    }
}

void NetworkPort::drainReceive(int quietMs, int limitMs) {
    const long long limit = m_timing.clock() + limitMs;
    for (;;) {
        const int wait = std::min(quietMs, msLeft(limit));
        if (wait <= 0) {
            break;
        }
        if (!m_timing.waiter(m_socket, wait) || !pump()) {
            break; // quiet for the whole interval, or the connection is gone
        }
        discardInput();
    }
    purgeReceive();
}

int NetworkPort::close() {
    if (m_socket == net::kNoSocket) {
        return 0;
    }
    // A server that serves one client per port (ser2net) takes the next one only once it has
    // let go of this one: wait for it to close its side, so that a _close and _init right after
    // (a Reconnect) do not find the port still in use.
    if (m_broken) {
        net::closeSocket(m_socket);
    } else {
        net::closeGracefully(m_socket, kCloseLingerMs);
    }
    m_socket = net::kNoSocket;
    return 1;
}

std::unique_ptr<BoardPort> openNetworkPort(const std::string& name) {
    const std::optional<PortUrl> url = parsePortUrl(name);
    return url ? NetworkPort::open(*url) : nullptr;
}

} // namespace sundial
