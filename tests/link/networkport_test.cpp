// A network port against a scripted server on the other end of a socket pair (the telnet codec's
// own cases are in telnetcodec_test.cpp).
#include "link/networkport.h"
#include "scriptedboard.h"
#include "tests/support/hexbytes.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace sundial;

using testsupport::bytesOf;
using testsupport::hexOf;
using testsupport::ScriptedBoard;
using testsupport::VirtualTime;

namespace {

// A network port on one end of a socket pair; the test is the server on the other.
class ScriptedServer : public ::testing::Test {
protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        m_server = ends[1];
        m_telnet = std::make_unique<NetworkPort>(ends[0], true, VirtualTime::timing());
    }
    void TearDown() override {
        if (m_server >= 0) {
            ::close(m_server);
        }
    }
    void serverSends(const std::string& hex) {
        const std::vector<std::uint8_t> bytes = bytesOf(hex);
        ASSERT_EQ(::write(m_server, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    std::string serverReceives() {
        std::array<std::uint8_t, 256> buffer{};
        const ssize_t n = ::recv(m_server, buffer.data(), buffer.size(), MSG_DONTWAIT);
        return n > 0 ? hexOf(std::span(buffer.data(), static_cast<std::size_t>(n))) : "";
    }

    int m_server = -1;
    std::unique_ptr<NetworkPort> m_telnet;
};

TEST_F(ScriptedServer, ATelnetSequenceSplitAcrossReadsStaysOutOfTheData) {
    serverSends("1F 00 1E FF");
    std::array<std::uint8_t, 9> reply{};
    EXPECT_EQ(m_telnet->read(reply), 3);
    serverSends("FF 03 FF");
    serverSends("FD 18 00 01 02 03");
    EXPECT_EQ(m_telnet->read(std::span(reply).subspan(3)), 6);
    EXPECT_EQ(hexOf(reply), "1F 00 1E FF 03 00 01 02 03");
    EXPECT_EQ(serverReceives(), "FF FC 18"); // the option was declined on the way
}

TEST_F(ScriptedServer, ThePurgeTravelsWithTheRequestAndItsAcknowledgementEndsTheDiscard) {
    serverSends("0A 0B"); // a late answer, before the purge
    m_telnet->purgeReceive();
    ASSERT_TRUE(m_telnet->write(bytesOf("1E 03 8F 00 FF 01 AF")));
    EXPECT_EQ(serverReceives(), "FF FA 2C 0C 01 FF F0 1E 03 8F 00 FF FF 01 AF");
    serverSends("0C FF FA 2C 70 01 FF F0 1F 00");
    std::array<std::uint8_t, 2> ack{};
    EXPECT_EQ(m_telnet->read(ack), 2);
    EXPECT_EQ(hexOf(ack), "1F 00");
}

// A server that never acknowledges purges: what it sends after one is held back until the purge
// is given up on, within the read call, and then read. After a few such purges the server is no
// longer asked.
TEST_F(ScriptedServer, APurgeNeverAcknowledgedIsGivenUpWithinTheCallAndLosesNoAnswer) {
    std::array<std::uint8_t, 2> ack{};
    for (int round = 0; round < kUnansweredPurgeLimit; ++round) {
        m_telnet->purgeReceive();
        ASSERT_TRUE(m_telnet->write(bytesOf("01")));
        const long long sent = VirtualTime::now();
        EXPECT_EQ(serverReceives(), "FF FA 2C 0C 01 FF F0 01") << "round " << round;
        serverSends("1F 00");
        EXPECT_EQ(m_telnet->read(ack), 2) << "round " << round;
        EXPECT_EQ(hexOf(ack), "1F 00") << "round " << round;
        EXPECT_GE(VirtualTime::now() - sent, kPurgeAckLimitMs) << "round " << round;
    }
    EXPECT_FALSE(m_telnet->purgesByServer());
    m_telnet->purgeReceive();
    ASSERT_TRUE(m_telnet->write(bytesOf("01")));
    EXPECT_EQ(serverReceives(), "01");
    serverSends("1F 00");
    const long long sent = VirtualTime::now();
    EXPECT_EQ(m_telnet->read(ack), 2);
    EXPECT_LT(VirtualTime::now() - sent, kPurgeAckLimitMs) << "held back with no purge asked";
}

TEST_F(ScriptedServer, AClosedConnectionFailsReadsAndWritesAtOnce) {
    serverSends("1F");
    ::close(m_server);
    m_server = -1;
    std::array<std::uint8_t, 2> ack{};
    EXPECT_EQ(m_telnet->read(ack), 1); // what came before the close is still read
    EXPECT_EQ(m_telnet->read(std::span(ack).subspan(1)), -1);
    EXPECT_EQ(m_telnet->readSoon(ack, 600), -1);
    EXPECT_FALSE(m_telnet->write(bytesOf("1F 00")));
}

// Bytes the socket holds, not yet taken in by the port.
std::size_t waitingIn(net::Socket socket) {
    int n = 0;
    return ::ioctl(static_cast<int>(socket), FIONREAD, &n) == 0 ? static_cast<std::size_t>(n) : 0;
}

using Server = ScriptedBoard::Server;

struct FloodCase {
    const char* what;
    Server server;
    bool purgeFirst; // a purge went out before the flood, which the server never acknowledges
};
constexpr FloodCase kFloods[] = {
    {"tcp", Server::Raw, false},
    {"rfc2217", Server::Telnet, false},
    {"rfc2217 after a purge", Server::TelnetIgnoringPurges, true},
};
constexpr FloodCase kLines[] = {
    {"tcp", Server::Raw, false},
    {"rfc2217", Server::Telnet, false},
};

// A peer that sends without end: the port holds no more than kInputLimit bytes, reads return
// what is there at once, and a drain ends at its own limit, as the link's waits assume.
TEST(NetworkPortFlood, ThePortHoldsItsLimitAndEachCallEndsAtItsDeadline) {
    for (const FloodCase& c : kFloods) {
        ScriptedBoard board(c.server);
        board.flood(true);
        board.serve();
        const std::unique_ptr<NetworkPort> port = board.port();
        if (c.purgeFirst) {
            port->purgeReceive();
            ASSERT_TRUE(port->write(bytesOf("1E 03 8F 00 FF 01 AF"))) << c.what;
        }
        std::array<std::uint8_t, 264> reply{};
        EXPECT_EQ(port->read(std::span(reply).first(2)), 2) << c.what;
        EXPECT_LE(port->inputHeld(), kInputLimit) << c.what;
        EXPECT_GT(port->read(reply), 0) << c.what;
        EXPECT_LE(port->inputHeld(), kInputLimit) << c.what;
        EXPECT_GT(port->readSoon(reply, kReadTimeoutMs), 0) << c.what;
        EXPECT_LE(port->inputHeld(), kInputLimit) << c.what;
        const long long start = VirtualTime::now();
        port->drainReceive(kDrainQuietMs, kDrainLimitMs);
        EXPECT_GE(VirtualTime::now() - start, kDrainLimitMs) << c.what << ": the flood went quiet";
        EXPECT_LE(VirtualTime::now() - start, kDrainLimitMs + kDrainQuietMs) << c.what;
        EXPECT_EQ(port->inputHeld(), 0u) << c.what;
        board.hangUp();
    }
}

// One look at the socket takes in at most kPumpLimit bytes, however many wait; a purge
// discards what the socket holds.
TEST(NetworkPortFlood, ALookTakesItsLimitAndAPurgeWhatTheSocketHolds) {
    for (const FloodCase& c : kLines) {
        ScriptedBoard board(c.server);
        board.flood(true);
        board.serve();
        board.flood(false);
        const std::size_t waiting = waitingIn(board.clientEnd());
        ASSERT_GT(waiting, 4 * kPumpLimit);
        const std::unique_ptr<NetworkPort> port = board.port();
        std::array<std::uint8_t, 2> two{};
        EXPECT_EQ(port->readSoon(two, 0), 2) << c.what;
        EXPECT_EQ(waitingIn(board.clientEnd()), waiting - kPumpLimit) << c.what;
        port->purgeReceive();
        EXPECT_EQ(waitingIn(board.clientEnd()), 0u) << c.what;
        EXPECT_EQ(port->inputHeld(), 0u) << c.what;
        board.hangUp();
    }
}

// What a flood leaves to read is its newest bytes, in order: the oldest went, as from a
// serial port's input queue that overflows.
TEST(NetworkPortFlood, WhatIsLeftOfAFloodIsItsNewestBytes) {
    for (const FloodCase& c : kLines) {
        ScriptedBoard board(c.server);
        board.flood(true);
        board.serve();
        const std::size_t sent = waitingIn(board.clientEnd());
        board.hangUp();
        const std::unique_ptr<NetworkPort> port = board.port();
        std::vector<std::uint8_t> got;
        std::array<std::uint8_t, 64> chunk{};
        int n = 0;
        while ((n = port->readSoon(chunk, 0)) > 0) {
            got.insert(got.end(), chunk.begin(), chunk.begin() + n);
            ASSERT_LE(port->inputHeld(), kInputLimit) << c.what;
        }
        EXPECT_EQ(n, -1) << c.what;
        // The flood's byte i is i % 251.
        const std::size_t tail = kInputLimit / 2;
        ASSERT_GE(got.size(), tail) << c.what;
        for (std::size_t k = 0; k < tail; ++k) {
            const std::size_t i = sent - tail + k;
            ASSERT_EQ(got[got.size() - tail + k], i % 251) << c.what << ", byte " << i;
        }
    }
}

} // namespace
