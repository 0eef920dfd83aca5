// A port behind a network serial server (tcp:// raw, rfc2217:// telnet), with the same read,
// write and purge behaviour as a serial port, so that the link above it does not change.
#pragma once

#include "boardport.h"
#include "netsocket.h"
#include "ports.h"
#include "telnetcodec.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace sundial {

// A connection attempt gives up after this long: as long as a silent board's waits.
inline constexpr int kConnectTimeoutMs = 3 * kReadTimeoutMs;
// The server's answers to the telnet options and line settings, in all.
inline constexpr int kNegotiationLimitMs = 3 * kReadTimeoutMs;
// A purge the server has not acknowledged within this is taken as lost; after
// kUnansweredPurgeLimit of them the server is not asked to purge again.
inline constexpr int kPurgeAckLimitMs = kReadTimeoutMs;
inline constexpr int kUnansweredPurgeLimit = 2;
// A raw server that turns a client away closes within this after accepting it; a client turned
// away tries again after a pause, within the connect time-out.
inline constexpr int kTurnAwayMs = 20;
inline constexpr int kTurnedAwayPauseMs = 50;
// Closing waits this long at most for the server to close its side.
inline constexpr int kCloseLingerMs = 500;
// What the port keeps of its input, read or not: the newest bytes. The longest answer the link
// waits for is 266 bytes (the acknowledgement and a 255-register read's reply frame), read as
// it comes, and the link purges before each request: more than a few answers' worth unread is
// a flood or noise. 4096 bytes is what Linux's serial input queue holds, so a flood loses its
// oldest bytes here as it would on a serial line.
inline constexpr std::size_t kInputLimit = 4096;
// One look at the socket takes in at most this much, so that a flood cannot keep a call in it;
// more would only push out of the input what the same look brought.
inline constexpr std::size_t kPumpLimit = kInputLimit;
// A purge discards what the socket holds when it is called, up to this much (a minute and a
// half of a 115200-baud line); what lies beyond counts as arriving after it.
inline constexpr std::size_t kPurgeLimit = std::size_t{1} << 20;

// The port's clock (milliseconds, monotonic) and its wait for the socket to become readable;
// replaceable so that tests drive the port's deadlines.
using PortClock = long long (*)();
using SocketWaiter = bool (*)(net::Socket socket, int waitMs);
long long monotonicMilliseconds();
bool waitForSocket(net::Socket socket, int waitMs);

struct NetworkTiming {
    int purgeAckLimitMs = kPurgeAckLimitMs;
    PortClock clock = &monotonicMilliseconds;
    SocketWaiter waiter = &waitForSocket;
};

class NetworkPort final : public BoardPort {
public:
    // Connects and, for RFC 2217, negotiates binary mode and the serial port control option,
    // sets 115200 8N1 and checks the server's answers, and raises DTR. Null on any failure.
    static std::unique_ptr<BoardPort> open(const PortUrl& url);

    NetworkPort(net::Socket socket, bool telnet, NetworkTiming timing = {})
        : m_socket(socket), m_telnet(telnet), m_timing(timing) {}
    ~NetworkPort() override { close(); }
    NetworkPort(const NetworkPort&) = delete;
    NetworkPort& operator=(const NetworkPort&) = delete;

    int read(std::span<std::uint8_t> buffer) override;
    int readSoon(std::span<std::uint8_t> buffer, int waitMs) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    void purgeReceive() override;
    void drainReceive(int quietMs, int limitMs) override;
    int close() override;
    WaitHandle waitHandle() const override { return {m_socket, true}; }

    // For tests: the server is still asked to purge; how much of the input the port holds
    // (read or not, and held back for a purge).
    bool purgesByServer() const { return m_purgeByServer; }
    std::size_t inputHeld() const { return m_data.size() + m_held.size(); }

private:
    bool negotiate();
    // Whether a raw server kept the connection open for kTurnAwayMs; what it sent meanwhile
    // (a banner, a refusal) is no answer of the board.
    bool notTurnedAway();
    // Takes in what the socket holds now, up to `limit` bytes, and answers what the server
    // asked; false once the connection is gone (data received before that stays readable).
    bool pump(std::size_t limit = kPumpLimit);
    // Waits up to `waitMs` for the socket (less when a purge is given up on before); then pumps.
    bool pumpWithin(int waitMs);
    std::size_t take(std::span<std::uint8_t> buffer);
    void discardInput();
    bool sendAll(std::span<const std::uint8_t> wire, long long limitMs);
    int msLeft(long long deadline) const;

    net::Socket m_socket;
    bool m_telnet;
    NetworkTiming m_timing;
    bool m_broken = false;
    TelnetCodec m_codec;
    // Received and decoded: from m_dataStart on not yet read; held back while a purge is
    // unacknowledged. Each keeps at most kInputLimit bytes, the newest.
    std::vector<std::uint8_t> m_data;
    std::size_t m_dataStart = 0;
    std::vector<std::uint8_t> m_held;
    std::vector<std::uint8_t> m_out; // to go before the next request (a queued purge)
    bool m_purgeByServer = true;
    int m_unansweredPurges = 0;
    int m_purgeAcksSeen = 0;
    long long m_purgeSentAt = 0;
};

// A port named by a URL; null when the URL is not one or the port cannot be reached.
std::unique_ptr<BoardPort> openNetworkPort(const std::string& name);

} // namespace sundial
