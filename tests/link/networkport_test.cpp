// The telnet side of network ports, byte by byte, and a network port against a scripted server
// on the other end of a socket pair.
#include "link/networkport.h"
#include "link/telnetcodec.h"
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

struct Decoded {
    std::string data;
    std::string answers;
    std::string held;
};

// Feeds `wire` to a codec in pieces of `piece` bytes (0: all at once).
Decoded decodeInPieces(TelnetCodec& codec, const std::vector<std::uint8_t>& wire,
                       std::size_t piece) {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> held;
    std::vector<std::uint8_t> answers;
    const std::size_t step = piece == 0 ? wire.size() : piece;
    for (std::size_t at = 0; at < wire.size(); at += step) {
        codec.decode(std::span(wire).subspan(at, std::min(step, wire.size() - at)), data, held,
                     answers);
    }
    return {hexOf(data), hexOf(answers), hexOf(held)};
}

// What a server sends (as ser2net does on connecting), and what the client must make of it,
// however the stream is cut.
TEST(TelnetCodec, EveryCutOfTheStreamGivesTheSameData) {
    const struct {
        const char* what;
        const char* wire;
        const char* data;
        const char* answers;
    } cases[] = {
        {"plain data", "1F 00 1E 03", "1F 00 1E 03", ""},
        {"doubled 0xFF is one data byte", "1E FF FF 01 FF FF", "1E FF 01 FF", ""},
        {"options the link does not use are declined", "FF FB 03 41 FF FD 03 FF FB 01 FF FE 01 42",
         "41 42", "FF FE 03 FF FC 03 FF FE 01"},
        {"binary and the port option are taken without a word", "FF FD 00 FF FB 00 FF FD 2C 07",
         "07", ""},
        {"a subnegotiation carries no data", "01 FF FA 2C 6B 00 FF F0 02", "01 02", ""},
        {"0xFF inside a subnegotiation", "FF FA 2C 65 FF FF 00 00 00 FF F0 09", "09", ""},
        {"no-operation and go-ahead", "FF F1 05 FF F9 06", "05 06", ""},
        {"a declined option is declined once", "FF FD 18 FF FD 18", "", "FF FC 18"},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> wire = bytesOf(c.wire);
        for (std::size_t piece = 0; piece <= 3; ++piece) {
            TelnetCodec codec;
            const Decoded decoded = decodeInPieces(codec, wire, piece);
            EXPECT_EQ(decoded.data, c.data) << c.what << ", pieces of " << piece;
            EXPECT_EQ(decoded.answers, c.answers) << c.what << ", pieces of " << piece;
        }
    }
}

TEST(TelnetCodec, DataGoesOutWithIacDoubled) {
    std::vector<std::uint8_t> wire;
    TelnetCodec::encodeData(bytesOf("1E 03 8F 00 FF 01 AF FF"), wire);
    EXPECT_EQ(hexOf(wire), "1E 03 8F 00 FF FF 01 AF FF FF");
}

// The negotiation is judged by what the server answers.
TEST(TelnetCodec, TheServersAnswersDecideTheNegotiation) {
    const char* const settings115200 = "FF FA 2C 65 00 01 C2 00 FF F0 FF FA 2C 66 08 FF F0 "
                                       "FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0";
    const struct {
        const char* what;
        std::string wire;
        bool accepted;
        bool refused;
        bool answered;
        bool asked;
    } cases[] = {
        {"all agreed", std::string("FF FD 00 FF FB 00 FF FD 2C ") + settings115200, true, false,
         true, true},
        {"binary one way only", "FF FD 00 FF FD 2C", false, false, false, false},
        {"binary refused", "FF FE 00 FF FB 00 FF FD 2C", false, true, false, false},
        {"port option refused", "FF FD 00 FF FB 00 FF FE 2C", false, true, false, false},
        {"another speed set",
         "FF FD 00 FF FB 00 FF FD 2C FF FA 2C 65 00 00 25 80 FF F0 "
         "FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0",
         true, false, true, false},
        {"parity even",
         "FF FD 00 FF FB 00 FF FD 2C FF FA 2C 65 00 01 C2 00 FF F0 "
         "FF FA 2C 66 08 FF F0 FF FA 2C 67 03 FF F0 FF FA 2C 68 01 FF F0",
         true, false, true, false},
        {"stop size unanswered",
         "FF FD 00 FF FB 00 FF FD 2C FF FA 2C 65 00 01 C2 00 FF F0 "
         "FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0",
         true, false, false, false},
    };
    for (const auto& c : cases) {
        TelnetCodec codec;
        decodeInPieces(codec, bytesOf(c.wire), 1);
        EXPECT_EQ(codec.binaryAccepted() && codec.comPortAccepted(), c.accepted) << c.what;
        EXPECT_EQ(codec.refused(), c.refused) << c.what;
        EXPECT_EQ(codec.settingsAnswered(), c.answered) << c.what;
        EXPECT_EQ(codec.settingsAsked(), c.asked) << c.what;
    }
}

// Everything before the purge's acknowledgement was read from the board before the purge.
TEST(TelnetCodec, DataBeforeAPurgeAcknowledgementIsDropped) {
    TelnetCodec codec;
    codec.purgeSent();
    codec.purgeSent();
    const Decoded decoded = decodeInPieces(
        codec, bytesOf("01 FF FF FF FA 2C 70 01 FF F0 02 FF FA 2C 70 01 FF F0 03"), 2);
    EXPECT_EQ(decoded.data, "03");
    EXPECT_EQ(decoded.held, "");
    EXPECT_EQ(codec.purgesPending(), 0);
    EXPECT_EQ(codec.purgesAcknowledged(), 2);
}

// Data while a purge is unacknowledged is held, not lost: given up on, the purge no longer
// holds anything back, and what it held is the caller's to read.
TEST(TelnetCodec, DataWhileAPurgeIsUnacknowledgedIsHeldUntilItIsGivenUp) {
    TelnetCodec codec;
    codec.purgeSent();
    Decoded decoded = decodeInPieces(codec, bytesOf("1F 00 FF FF"), 1);
    EXPECT_EQ(decoded.data, "");
    EXPECT_EQ(decoded.held, "1F 00 FF");
    codec.forgetPurges();
    decoded = decodeInPieces(codec, bytesOf("1E FF FA 2C 70 01 FF F0 03"), 1);
    EXPECT_EQ(decoded.data, "1E 03") << "a late acknowledgement drops nothing more";
    EXPECT_EQ(decoded.held, "");
}

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
