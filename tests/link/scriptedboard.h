// A board behind a network serial server, played by the test: at the far end of a socket pair,
// with virtual time for the network port at the near end, so that nothing waits for real; or
// on a loopback connection, from a thread of its own.
#pragma once

#include "link/boardport.h"
#include "link/networkport.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace testsupport {

// Virtual milliseconds: the clock moves one at each reading, and a wait for input serves the
// board first (a real one answers meanwhile), then passes at once, in full when nothing came.
class VirtualTime {
public:
    static long long clock() { return ++s_now; }
    static long long now() { return s_now; }
    // A NetworkPort's wait for its socket.
    static bool waitForSocket(sundial::net::Socket socket, int waitMs);
    // The search's wait for input on several ports.
    static void waitForInput(std::span<sundial::BoardPort* const> ports, int waitMs);
    // The library's limits, on this clock.
    static sundial::NetworkTiming timing() {
        return {sundial::kPurgeAckLimitMs, &clock, &waitForSocket};
    }

private:
    static inline long long s_now = 0;
};

class ScriptedBoard {
public:
    enum class Server { Raw, Telnet, TelnetIgnoringPurges };
    // A board that answers the probe, the channel set-ups, reads and writes, behind a raw server
    // or a telnet one (which agrees to what the library asks for, and acknowledges purges or
    // never does), at the far end of a new socket pair.
    explicit ScriptedBoard(Server server);
    // The same at the server's end of a connection, which it closes.
    ScriptedBoard(Server server, int connection);
    ~ScriptedBoard();
    ScriptedBoard(const ScriptedBoard&) = delete;
    ScriptedBoard& operator=(const ScriptedBoard&) = delete;

    // The near end, for a NetworkPort, which closes it; the far end.
    sundial::net::Socket clientEnd() const { return m_client; }
    int connection() const { return m_server; }
    // A new port on the near end, as the library's opener makes one.
    std::unique_ptr<sundial::NetworkPort> port() const;
    // While on, the line is filled without end (full again at each wait) and requests go
    // unanswered.
    void flood(bool on) { m_flooding = on; }
    // Takes what the client sent and answers it; tops the line up while flooding. False once
    // the client has closed the connection.
    bool serve();
    // Whether serve() has more to send than the line took.
    bool wantsToSend() const { return m_flooding || !m_out.empty(); }
    // Closes the far end, so that the port closes without lingering.
    void hangUp();

    int purgesAsked() const { return m_purges; }
    int requestsTaken() const { return m_requests; }
    // The board served at each wait: the one made last.
    static ScriptedBoard* served() { return s_served; }

private:
    void take(std::span<const std::uint8_t> wire);
    void option(std::uint8_t command, std::uint8_t option);
    void subnegotiation();
    void answer(std::span<const std::uint8_t> payload);
    void send(std::span<const std::uint8_t> bytes);
    void flush();
    void fill();

    int m_server = -1;
    int m_client = -1;
    Server m_kind;
    std::atomic<bool> m_flooding = false;
    std::uint8_t m_next = 0; // of the flood's pattern, which never holds 0xFF
    enum class Telnet { Data, Iac, Option, Sub, SubIac } m_state = Telnet::Data;
    std::uint8_t m_command = 0;
    std::vector<std::uint8_t> m_sub;
    std::vector<std::uint8_t> m_data; // what the client sent, without telnet
    std::vector<std::uint8_t> m_out;  // answers the line has not taken yet
    std::atomic<int> m_purges = 0;
    std::atomic<int> m_requests = 0;
    static inline ScriptedBoard* s_served = nullptr;
};

} // namespace testsupport
