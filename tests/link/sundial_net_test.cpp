// The built library through the real network serial server (ser2net, on loopback only) to the
// virtual board: the link table over raw TCP and over RFC 2217, and what only a network link
// meets: a server that goes away, one that stalls, ports that refuse or are no URL at all; and
// servers played by the test: one that floods, one that never acknowledges a purge.
#include "link/ports.h"
#include "linkcases.h"
#include "linuxbench.h"
#include "scriptedboard.h"
#include "sundiallibrary.h"
#include "tests/support/evmprocess.h"
#include "tests/support/ser2netprocess.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using testsupport::EvmProcess;
using testsupport::Ser2netProcess;
using testsupport::SundialLibrary;

namespace {

using Kind = Ser2netProcess::Kind;

constexpr SundialChannel kI2cTable[8] = {{1, 76}, {0, 0}, {0, 0}, {0, 0},
                                         {0, 0},  {0, 0}, {0, 0}, {3, 0}};

const char* kindName(Kind kind) {
    return kind == Kind::Raw ? "tcp" : "rfc2217";
}

// A loopback port nothing listens on: bound, never listened on, so connecting is refused.
class ClosedPort {
public:
    ClosedPort() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("no loopback port to refuse connections");
        }
        m_port = ntohs(address.sin_port);
    }
    ~ClosedPort() { ::close(m_fd); }
    std::string url() const { return "tcp://127.0.0.1:" + std::to_string(m_port); }

private:
    int m_fd = -1;
    int m_port = 0;
};

struct NetCase {
    Kind kind;
    linkcases::Case test;
};

std::vector<NetCase> netCases() {
    std::vector<NetCase> all;
    for (const Kind kind : {Kind::Raw, Kind::Rfc2217}) {
        for (const linkcases::Case& test : linkcases::cases()) {
            all.push_back({kind, test});
        }
    }
    return all;
}

class NetLinkTable : public ::testing::TestWithParam<NetCase> {};

TEST_P(NetLinkTable, ThroughSer2net) {
    SundialLibrary library;
    const linkcases::Entries entries{library.init, library.close, library.readData,
                                     library.writeData, library.getVer};
    testsupport::LinuxBench bench(GetParam().kind);
    for (const std::string& failure : linkcases::run(GetParam().test, entries, bench)) {
        ADD_FAILURE() << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(Link, NetLinkTable, ::testing::ValuesIn(netCases()),
                         [](const auto& caseInfo) {
                             return std::string(kindName(caseInfo.param.kind)) + "_" +
                                    caseInfo.param.test.name;
                         });

// One board behind one server, connected as port 1.
class OneBoardThroughSer2net : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        ::setenv("SUNDIAL_PORTS", m_server.url(0).c_str(), 1);
        ASSERT_EQ(m_lib.init(0, kI2cTable), 1);
    }
    int write(int value) {
        const uint8_t byte = static_cast<uint8_t>(value);
        return m_lib.writeData(0, 0x13, &byte, 1);
    }

    EvmProcess m_board;
    Ser2netProcess m_server{{{m_board.linkPath(), GetParam()}}};
    SundialLibrary m_lib;
};

// A server that goes away fails the calls at once: the next request cannot be sent (code 1),
// which a board that merely stays silent never gives. The next _init connects afresh.
TEST_P(OneBoardThroughSer2net, AServerThatGoesAwayFailsAtOnceAndInitConnectsAgain) {
    ASSERT_EQ(write(0x21), 0);
    m_server.stop();
    int code = 0;
    for (int call = 0; call < 3 && code != 1; ++call) {
        code = write(0x22);
        EXPECT_NE(code, 0) << "call " << call << " succeeded without a server";
    }
    EXPECT_EQ(code, 1) << "a closed connection was not noticed";
    m_server.restart();
    EXPECT_NE(write(0x23), 0) << "the library reconnected on its own";
    ASSERT_EQ(m_lib.close(), 1);
    ASSERT_EQ(m_lib.init(0, kI2cTable), 1);
    EXPECT_EQ(write(0x24), 0);
    EXPECT_EQ(m_board.control("get 0x13"), "ok 0x24");
}

// A server stopped for 2.5 s in the middle of a loop: calls fail while it stands still, and no
// call reports a read value the board does not hold or a write the board did not take.
TEST_P(OneBoardThroughSer2net, AStalledServerGivesNoWrongReadAndNoFalseWrite) {
    using Clock = std::chrono::steady_clock;
    int wrongReads = 0;
    int falseWrites = 0;
    int failures = 0;
    int successes = 0;
    const auto transaction = [&](int i) {
        const int value = 0x30 + i % 0x40;
        if (i % 2 == 0) {
            if (write(value) == 0) {
                ++successes;
                falseWrites += m_board.control("get 0x13") != "ok 0x" + [value] {
                    char text[4];
                    std::snprintf(text, sizeof text, "%02X", value);
                    return std::string(text);
                }();
            } else {
                ++failures;
            }
        } else {
            uint8_t read = 0;
            if (m_lib.readData(0, 0x13, &read, 1) == 0) {
                ++successes;
                char expected[16];
                std::snprintf(expected, sizeof expected, "ok 0x%02X", read);
                wrongReads += m_board.control("get 0x13") != expected;
            } else {
                ++failures;
            }
        }
    };
    int i = 0;
    for (; i < 10; ++i) {
        transaction(i);
    }
    m_server.pause();
    const auto resumeAt = Clock::now() + std::chrono::milliseconds(2500);
    while (Clock::now() < resumeAt) {
        transaction(i++);
    }
    m_server.resume();
    for (const int end = i + 30; i < end; ++i) {
        transaction(i);
    }
    EXPECT_EQ(wrongReads, 0);
    EXPECT_EQ(falseWrites, 0);
    EXPECT_GT(failures, 0) << "the stall was not noticed";
    EXPECT_GT(successes, 30) << "the link did not come back after the stall";
}

INSTANTIATE_TEST_SUITE_P(Link, OneBoardThroughSer2net, ::testing::Values(Kind::Raw, Kind::Rfc2217),
                         [](const auto& caseInfo) {
                             return std::string(kindName(caseInfo.param));
                         });

// Entries that are no port keep their numbers and name nothing: a refused connection, URLs
// that are not well-formed, a scheme the library does not speak. The board after them is
// found by the search and by its number.
TEST(NetworkPortNames, PortsThatAreNoBoardKeepTheirNumbers) {
    EvmProcess board;
    Ser2netProcess server({{board.linkPath(), Kind::Rfc2217}});
    ClosedPort refused;
    const std::string list =
        refused.url() +
        ":tcp://127.0.0.1:0:tcp://bad host:1:telnet://127.0.0.1:23:" + server.url(0);
    ::setenv("SUNDIAL_PORTS", list.c_str(), 1);
    SundialLibrary lib;
    for (int port = 1; port <= 4; ++port) {
        EXPECT_EQ(lib.init(port, kI2cTable), 0) << "port " << port << " of " << list;
    }
    EXPECT_EQ(lib.init(0, kI2cTable), 5) << list;
    EXPECT_EQ(lib.init(5, kI2cTable), 5) << list;
}

// What a connection meets, as the port diagnostics report it. The server's own words come
// without its telnet negotiation.
TEST(NetworkPortNames, CheckingAPortTellsWhatTheConnectionMeets) {
    EvmProcess board;
    EvmProcess other;
    Ser2netProcess server({{board.linkPath(), Kind::Rfc2217},
                           {other.linkPath(), Kind::Raw},
                           {"/nonexistent/evm", Kind::Rfc2217}});
    ClosedPort refused;
    SundialLibrary lib;
    ::setenv("SUNDIAL_PORTS", server.url(0).c_str(), 1);
    ASSERT_EQ(lib.init(1, kI2cTable), 1); // holds the server's port 0
    using Reach = sundial::NetworkReach;
    const struct {
        std::string url;
        Reach reach;
        std::string message;
    } cases[] = {
        {server.url(1), Reach::Connected, ""},
        {server.url(0), Reach::Busy, "Port already in use"},
        {server.url(2), Reach::Closed, "Device open failure"},
        {refused.url(), Reach::Refused, ""},
        {"tcp://127.0.0.1", Reach::BadUrl, ""},
    };
    for (const auto& c : cases) {
        const sundial::NetworkCheck check = sundial::checkNetworkPort(c.url, 1800, 500);
        EXPECT_EQ(check.reach, c.reach) << c.url << ": " << check.message;
        EXPECT_EQ(check.message.substr(0, c.message.size()), c.message) << c.url;
    }
}

// A server that turns the first client away, as ser2net does while it still frees the port
// for the client before, and serves the next: _init gets the board on the second try. The
// server answers as a board does: the probe, then the eight set-ups.
TEST(NetworkPortNames, AClientTurnedAwayAtOnceTriesAgain) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    int served = 0;
    std::thread server([listener, &served] {
        const auto readExactly = [](int fd, std::size_t n) {
            std::vector<uint8_t> bytes(n);
            std::size_t got = 0;
            while (got < n) {
                const ssize_t r = ::read(fd, bytes.data() + got, n - got);
                if (r <= 0) {
                    return false;
                }
                got += static_cast<std::size_t>(r);
            }
            return true;
        };
        const auto send = [](int fd, const std::vector<uint8_t>& bytes) {
            return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        };
        const int first = ::accept(listener, nullptr, nullptr);
        send(first, {'P', 'o', 'r', 't', ' ', 'i', 'n', ' ', 'u', 's', 'e', '\r', '\n'});
        ::close(first);
        const int second = ::accept(listener, nullptr, nullptr);
        if (readExactly(second, 7) &&
            send(second, {0x1F, 0x00, 0x1E, 0x03, 0x8F, 0x00, 0x00, 0x00, 0xB0}) &&
            readExactly(second, 2)) {
            for (int k = 0; k < 8 && readExactly(second, 7) && send(second, {0x1F, 0x00}); ++k) {
                ++served;
            }
        }
        ::shutdown(second, SHUT_WR);
        readExactly(second, 1); // until the client has gone
        ::close(second);
    });
    const std::string url = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    ::setenv("SUNDIAL_PORTS", url.c_str(), 1);
    {
        SundialLibrary lib;
        EXPECT_EQ(lib.init(1, kI2cTable), 1);
        EXPECT_EQ(lib.close(), 1);
    }
    server.join();
    ::close(listener);
    EXPECT_EQ(served, 8) << "the set-ups after the probe";
}

using Server = testsupport::ScriptedBoard::Server;

// A board behind a server played by the test on loopback: one connection, served from a thread
// of its own until the client closes it.
class LoopbackBoard {
public:
    // `floods` from the moment the client connects.
    explicit LoopbackBoard(Server server, bool floods = false) : m_kind(server), m_floods(floods) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("no loopback port to serve on");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~LoopbackBoard() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    LoopbackBoard(const LoopbackBoard&) = delete;
    LoopbackBoard& operator=(const LoopbackBoard&) = delete;

    std::string url() const {
        return (m_kind == Server::Raw ? "tcp://127.0.0.1:" : "rfc2217://127.0.0.1:") +
               std::to_string(m_port);
    }
    // Once the client has connected.
    void flood(bool on) {
        if (testsupport::ScriptedBoard* board = m_board.load(); board != nullptr) {
            board->flood(on);
        }
    }
    int purgesAsked() const {
        const testsupport::ScriptedBoard* board = m_board.load();
        return board != nullptr ? board->purgesAsked() : 0;
    }

private:
    void run() {
        // Polls, so that the thread sees the end of the test.
        constexpr int kPollMs = 20;
        pollfd listening{m_listener, POLLIN, 0};
        while (!m_stop && ::poll(&listening, 1, kPollMs) == 0) {
        }
        if (m_stop) {
            return;
        }
        m_served = std::make_unique<testsupport::ScriptedBoard>(
            m_kind, ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC));
        m_served->flood(m_floods);
        m_board = m_served.get();
        while (!m_stop) {
            pollfd connection{m_served->connection(),
                              static_cast<short>(POLLIN | (m_served->wantsToSend() ? POLLOUT : 0)),
                              0};
            ::poll(&connection, 1, kPollMs);
            if (!m_served->serve()) {
                break;
            }
        }
        m_served->hangUp();
    }

    Server m_kind;
    bool m_floods;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop = false;
    std::unique_ptr<testsupport::ScriptedBoard> m_served;
    std::atomic<testsupport::ScriptedBoard*> m_board = nullptr;
    std::thread m_thread;
};

class FloodingServer : public ::testing::TestWithParam<Server> {};

// A server that floods the line once the board has been found: the call the flood meets fails
// (its acknowledgement is no 1F 00), the calls after it return 2 without sending their
// request, and the library keeps its memory and its waits throughout. Once the flood stops the
// link comes back by itself.
TEST_P(FloodingServer, FailsEachCallAndTheLinkComesBackOnceItStops) {
    LoopbackBoard server(GetParam());
    ::setenv("SUNDIAL_PORTS", server.url().c_str(), 1);
    SundialLibrary lib;
    ASSERT_EQ(lib.init(1, kI2cTable), 1);
    server.flood(true);
    // The most registers whose reply frame's length byte can still count.
    std::array<uint8_t, 250> values{};
    EXPECT_EQ(lib.readData(0, 0, values.data(), 250), 3);
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(lib.writeData(0, 0x13, values.data(), 1), 2) << "call " << call;
    }
    server.flood(false);
    // What the connection still held of the flood goes with a purge or two.
    int code = -1;
    for (int call = 0; call < 10 && code != 0; ++call) {
        code = lib.readData(0, 0x13, values.data(), 1);
    }
    EXPECT_EQ(code, 0) << "the link did not come back after the flood";
    EXPECT_EQ(values[0], 0x42);
}

// A server that floods from the start: the probe meets the flood at once, and the search finds
// no board.
TEST_P(FloodingServer, AnInitThatMeetsItFindsNoBoard) {
    LoopbackBoard server(GetParam(), true);
    ::setenv("SUNDIAL_PORTS", server.url().c_str(), 1);
    SundialLibrary lib;
    EXPECT_EQ(lib.init(1, kI2cTable), 0);
    EXPECT_EQ(lib.close(), 0) << "a port stayed open";
}

INSTANTIATE_TEST_SUITE_P(Link, FloodingServer, ::testing::Values(Server::Raw, Server::Telnet),
                         [](const auto& caseInfo) {
                             return std::string(caseInfo.param == Server::Raw ? "tcp" : "rfc2217");
                         });

// An RFC 2217 server that never acknowledges PURGE-DATA: the first _init finds the board, and
// the server is asked to purge twice on the connection, then no more.
TEST(UnacknowledgedPurges, ABoardBehindSuchAServerIsFoundByTheFirstInit) {
    LoopbackBoard server(Server::TelnetIgnoringPurges);
    ::setenv("SUNDIAL_PORTS", server.url().c_str(), 1);
    SundialLibrary lib;
    EXPECT_EQ(lib.init(0, kI2cTable), 1);
    uint8_t value = 0;
    EXPECT_EQ(lib.readData(0, 0x13, &value, 1), 0);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(server.purgesAsked(), sundial::kUnansweredPurgeLimit);
}

} // namespace
