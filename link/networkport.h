// A port behind a network serial server (tcp:// raw, rfc2217:// telnet), with the same read,
// write and purge behaviour as a serial port, so that the link above it does not change.
#pragma once

#include "include/sundialports.h"
#include "netsocket.h"
#include "serialport.h"
#include "telnetcodec.h"

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

class NetworkPort final : public SerialPort {
public:
    // Connects and, for RFC 2217, negotiates binary mode and the serial port control option,
    // sets 115200 8N1 and checks the server's answers, and raises DTR. Null on any failure.
    static std::unique_ptr<SerialPort> open(const PortUrl& url);

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

    // For tests: the server is still asked to purge.
    bool purgesByServer() const { return m_purgeByServer; }

private:
    bool negotiate();
    // Whether a raw server kept the connection open for kTurnAwayMs; what it sent meanwhile
    // (a banner, a refusal) is no answer of the board.
    bool notTurnedAway();
    // Takes in what the socket holds now and answers what the server asked; false once the
    // connection is gone (data received before that stays readable).
    bool pump();
    // Waits up to `waitMs` for the socket; then pumps.
    bool pumpWithin(int waitMs);
    std::size_t take(std::span<std::uint8_t> buffer);
    bool sendAll(std::span<const std::uint8_t> wire, long long limitMs);
    int msLeft(long long deadline) const;

    net::Socket m_socket;
    bool m_telnet;
    NetworkTiming m_timing;
    bool m_broken = false;
    TelnetCodec m_codec;
    std::vector<std::uint8_t> m_data; // received, decoded, not yet read
    std::size_t m_dataStart = 0;
    std::vector<std::uint8_t> m_out; // to go before the next request (a queued purge)
    bool m_purgeByServer = true;
    int m_unansweredPurges = 0;
    int m_purgeAcksSeen = 0;
    long long m_purgeSentAt = 0;
};

// A port named by a URL; null when the URL is not one or the port cannot be reached.
std::unique_ptr<SerialPort> openNetworkPort(const std::string& name);

} // namespace sundial
