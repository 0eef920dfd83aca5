// The link logic against scripted ports: every read call of the port is one step of the script,
// so the three-call rule, the result codes and the purges are checked without real time-outs.
#include "link/boardlink.h"
#include "tests/support/hexbytes.h"

#include "tests/support/casenames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

using namespace sundial;

using testsupport::bytesOf;
using testsupport::hexOf;

namespace {

// What one read call of the port brings: some bytes, nothing (time-out) or a failed call.
// Bytes with a time arrive then: a read call that would wait past it sees nothing.
struct ReadStep {
    std::vector<std::uint8_t> bytes;
    bool fails = false;
    std::optional<long long> at; // on the link's clock
};

ReadStep bytes(const std::string& text) {
    return {bytesOf(text), false, std::nullopt};
}
ReadStep timeout() {
    return {};
}
ReadStep failure() {
    return {{}, true, std::nullopt};
}
ReadStep at(long long ms, const std::string& text) {
    return {bytesOf(text), false, ms};
}

struct ScriptedPort {
    std::deque<ReadStep> waiting;               // already received when the next request goes out
    std::deque<ReadStep> reads;                 // what arrives after it, one step per read call
    std::deque<ReadStep> survivesDrain;         // what arrives after a failed exchange's drain
    std::vector<std::string> writes;            // hex of each write call
    std::optional<std::size_t> failWriteNumber; // 0-based index of a write call that fails
    int readCalls = 0;
    int purges = 0;
    int drains = 0;
    int closes = 0;
    int closeResult = 1;
    std::vector<std::string> events; // writes, reads, purges and drains in order
};

std::map<int, ScriptedPort> g_ports; // port number -> its script; absent numbers do not open
std::vector<int> g_opened;
long long g_now = 0; // the link's clock: moves only when a short read waits in vain

long long fakeClock() {
    return g_now;
}

// The search's wait for input on several ports: nothing arrives on its own here, so the wait
// always runs to its end.
std::vector<int> g_waits;
void fakeWait(std::span<BoardPort* const>, int waitMs) {
    g_waits.push_back(waitMs);
    g_now += waitMs;
}

class FakePort final : public BoardPort {
public:
    explicit FakePort(ScriptedPort& script) : m_script(script) {}
    int read(std::span<std::uint8_t> buffer) override {
        m_script.events.push_back("read");
        return step(buffer, kReadTimeoutMs);
    }
    int readSoon(std::span<std::uint8_t> buffer, int waitMs) override {
        m_script.events.push_back("soon");
        const long long before = g_now;
        const int n = step(buffer, waitMs);
        if (n == 0 && g_now == before) {
            g_now += waitMs;
        }
        return n;
    }
    bool write(std::span<const std::uint8_t> data) override {
        const bool ok = m_script.failWriteNumber != m_script.writes.size();
        m_script.writes.push_back(hexOf(data));
        m_script.events.push_back("write " + hexOf(data));
        return ok;
    }
    void purgeReceive() override {
        ++m_script.purges;
        m_script.waiting.clear();
        m_script.events.push_back("purge");
    }
    // The rest of the script is the failed exchange's tail: it arrives and is drained, unless
    // the script keeps some back for later (`survivesDrain`).
    void drainReceive(int quietMs, int limitMs) override {
        EXPECT_GT(quietMs, 0);
        EXPECT_GE(limitMs, quietMs);
        ++m_script.drains;
        m_script.waiting.clear();
        m_script.reads = std::move(m_script.survivesDrain);
        m_script.survivesDrain.clear();
        m_script.events.push_back("drain");
    }
    int close() override {
        ++m_script.closes;
        return m_script.closeResult;
    }
    WaitHandle waitHandle() const override { return {}; }

private:
    // One read call that may wait up to `waitMs` for bytes due later.
    int step(std::span<std::uint8_t> buffer, int waitMs) {
        ++m_script.readCalls;
        std::deque<ReadStep>& queue = m_script.waiting.empty() ? m_script.reads : m_script.waiting;
        if (queue.empty()) {
            return 0;
        }
        ReadStep& step = queue.front();
        if (step.at && *step.at > g_now) {
            if (*step.at > g_now + waitMs) {
                g_now += waitMs;
                return 0;
            }
            g_now = *step.at;
        }
        if (step.fails) {
            queue.pop_front();
            return -1;
        }
        // Bytes beyond the requested count stay queued, as in a driver's buffer.
        const std::size_t n = std::min(step.bytes.size(), buffer.size());
        std::copy_n(step.bytes.begin(), n, buffer.begin());
        step.bytes.erase(step.bytes.begin(), step.bytes.begin() + static_cast<std::ptrdiff_t>(n));
        if (step.bytes.empty()) {
            queue.pop_front();
        }
        return static_cast<int>(n);
    }

    ScriptedPort& m_script;
};

std::unique_ptr<BoardPort> openScripted(int number) {
    g_opened.push_back(number);
    const auto found = g_ports.find(number);
    if (found == g_ports.end()) {
        return nullptr;
    }
    return std::make_unique<FakePort>(found->second);
}

const std::string kProbe = "1E 03 8F 00 FF 01 AF";
const std::string kAckHex = "1F 00";
const std::string kProbeReply = "1E 03 8F 00 00 00 B0";

// The answers of a board that passes the probe and acknowledges the eight set-ups.
std::deque<ReadStep> answeringBoard() {
    std::deque<ReadStep> steps{bytes(kAckHex), bytes(kProbeReply)};
    for (int k = 0; k < 8; ++k) {
        steps.push_back(bytes(kAckHex));
    }
    return steps;
}

constexpr Channel kI2cTable[8] = {{1, 76}, {}, {}, {}, {}, {}, {}, {3, 0}};
constexpr Channel kSpiTable[8] = {{3, 0}, {}, {}, {}, {}, {}, {}, {3, 0}};

class BoardLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_ports.clear();
        g_opened.clear();
        g_waits.clear();
        g_now = 0;
    }
    void TearDown() override { m_link.close(); }

    // Connects on `number` and forgets the traffic of the connection.
    ScriptedPort& connect(int number, const Channel* table = kI2cTable) {
        g_ports[number].reads = answeringBoard();
        EXPECT_EQ(m_link.init(number, table), number);
        ScriptedPort& port = g_ports[number];
        port.writes.clear();
        port.events.clear();
        port.readCalls = 0;
        port.purges = 0;
        port.drains = 0;
        return port;
    }

    BoardLink m_link{&openScripted, &fakeClock, &fakeWait};
};

TEST_F(BoardLinkTest, SearchTriesEveryPortInOrderAndStopsAtTheBoard) {
    g_ports[5].reads = {}; // opens, never answers
    g_ports[9].reads = answeringBoard();
    g_ports[12].reads = answeringBoard();

    EXPECT_EQ(m_link.init(0, kI2cTable), 9);

    EXPECT_EQ(g_opened, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(g_ports[5].writes, (std::vector<std::string>{kProbe}));
    EXPECT_EQ(g_ports[5].events[0], "purge");
    // Port 9 answered at once, but port 5 decides first: three read waits for its
    // acknowledgement, and then it gives up.
    EXPECT_EQ(g_now, 3 * kReadTimeoutMs);
    EXPECT_EQ(g_ports[5].closes, 1);
    EXPECT_EQ(g_ports[9].writes,
              (std::vector<std::string>{
                  kProbe, kAckHex, "1E 03 50 00 01 00 72", "1E 03 51 00 00 00 72",
                  "1E 03 52 00 00 00 73", "1E 03 53 00 00 00 74", "1E 03 54 00 00 00 75",
                  "1E 03 55 00 00 00 76", "1E 03 56 00 00 00 77", "1E 03 57 00 03 00 7B"}));
    EXPECT_EQ(g_ports[9].closes, 0);
    EXPECT_TRUE(g_ports[12].writes.empty());
}

// Silent ports wait out their probes side by side: each opens a head start after the one
// before, so k of them cost one probe's waits plus k head starts, not k probes' waits.
TEST_F(BoardLinkTest, SilentPortsAreWaitedOutTogether) {
    const struct {
        std::vector<int> silent;
        int board;
        long long took;
    } cases[] = {
        {{}, 1, 0},
        {{1}, 2, 3 * kReadTimeoutMs},
        {{1, 2, 3}, 4, 2 * PortSearch::kStaggerMs + 3 * kReadTimeoutMs},
        {{2, 40, 41}, 77, 2 * PortSearch::kStaggerMs + 3 * kReadTimeoutMs},
    };
    for (const auto& c : cases) {
        SetUp();
        for (const int port : c.silent) {
            g_ports[port].reads = {};
        }
        g_ports[c.board].reads = answeringBoard();
        g_ports[c.board + 1].reads = answeringBoard();
        EXPECT_EQ(m_link.init(0, kI2cTable), c.board);
        EXPECT_EQ(g_now, c.took) << "board on " << c.board;
        for (const int port : c.silent) {
            EXPECT_EQ(g_ports[port].writes, (std::vector<std::string>{kProbe})) << port;
            EXPECT_EQ(g_ports[port].closes, 1) << port;
        }
        EXPECT_TRUE(g_ports[c.board + 1].writes.empty()) << "nothing above the board is probed";
        EXPECT_EQ(g_opened.back(), c.board);
        m_link.close();
    }
}

// A port that answers after a higher one has still won: the lowest port that answers is the
// board's, as in a search one port after the other.
TEST_F(BoardLinkTest, TheLowestAnsweringPortWinsEvenWhenItAnswersLater) {
    g_ports[1].reads = {timeout(), bytes(kAckHex), timeout(), bytes(kProbeReply)};
    for (int k = 0; k < 8; ++k) {
        g_ports[1].reads.push_back(bytes(kAckHex));
    }
    g_ports[2].reads = answeringBoard();
    EXPECT_EQ(m_link.init(0, kI2cTable), 1);
    EXPECT_EQ(g_ports[2].writes, (std::vector<std::string>{kProbe, kAckHex}));
    EXPECT_EQ(g_ports[2].closes, 1);
    EXPECT_EQ(g_ports[1].closes, 0);
    EXPECT_EQ(g_ports[1].writes.size(), 10u); // probe, its acknowledgement, eight set-ups
}

// What fails a port's probe in a search, each on the lower port with a board above it.
TEST_F(BoardLinkTest, AFailedProbeHandsTheSearchOn) {
    const struct {
        const char* what;
        std::deque<ReadStep> reads;
        std::optional<std::size_t> failWrite;
    } cases[] = {
        {"wrong acknowledgement", {bytes("1F 01"), bytes(kProbeReply)}, std::nullopt},
        {"short reply", {bytes(kAckHex), bytes("1E 03 8F")}, std::nullopt},
        {"failed read call", {bytes(kAckHex), failure()}, std::nullopt},
        {"probe not sent", answeringBoard(), 0},
        {"closing acknowledgement not sent", answeringBoard(), 1},
    };
    for (const auto& c : cases) {
        SetUp();
        g_ports[3].reads = c.reads;
        g_ports[3].failWriteNumber = c.failWrite;
        g_ports[4].reads = answeringBoard();
        EXPECT_EQ(m_link.init(0, kI2cTable), 4) << c.what;
        EXPECT_EQ(g_ports[3].closes, 1) << c.what;
        m_link.close();
    }
}

TEST_F(BoardLinkTest, SearchWithoutBoardTriesAll256AndLeavesNothingOpen) {
    g_ports[1].reads = {bytes("1F 01")};         // wrong acknowledgement
    g_ports[256].reads = {bytes("1F 00 1E 03")}; // short reply
    EXPECT_EQ(m_link.init(0, kI2cTable), 0);
    ASSERT_EQ(g_opened.size(), 256u);
    EXPECT_EQ(g_opened.front(), 1);
    EXPECT_EQ(g_opened.back(), 256);
    EXPECT_FALSE(m_link.isOpen());
    EXPECT_EQ(g_ports[1].closes, 1);
    EXPECT_EQ(g_ports[256].closes, 1);
    EXPECT_EQ(m_link.close(), 0);
}

TEST_F(BoardLinkTest, SinglePortOpensOnlyThatPort) {
    g_ports[3].reads = answeringBoard();
    g_ports[4].reads = answeringBoard();
    EXPECT_EQ(m_link.init(4, kI2cTable), 4);
    EXPECT_EQ(g_opened, (std::vector<int>{4}));

    m_link.close();
    g_opened.clear();
    g_ports[7].reads = {};
    EXPECT_EQ(m_link.init(7, kI2cTable), 0);
    EXPECT_EQ(g_opened, (std::vector<int>{7}));
    EXPECT_FALSE(m_link.isOpen());
}

TEST_F(BoardLinkTest, PortNumbersOutsideTheRangeFindNothing) {
    g_ports[257].reads = answeringBoard();
    for (int port : {257, -2, 100000}) {
        EXPECT_EQ(m_link.init(port, kI2cTable), 0) << port;
    }
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(BoardLinkTest, MinusOneTakesTheTableAndLeavesThePortAlone) {
    ScriptedPort& port = connect(2);
    EXPECT_EQ(m_link.init(-1, kSpiTable), -1);
    EXPECT_TRUE(m_link.isOpen());
    EXPECT_EQ(port.closes, 0);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(m_link.channels()[0].type, 3);
    EXPECT_EQ(m_link.channels()[0].address, 0);

    // The new table is what the next read is framed with.
    port.reads = {bytes(kAckHex), bytes("1E 06 10 03 90 90 01 00 00 00")};
    std::uint8_t value = 0;
    m_link.readData(0, 0x10, &value, 1);
    EXPECT_EQ(port.writes.front(), "1E 06 10 03 90 90 01 00 01 58");
}

TEST_F(BoardLinkTest, InitClosesAPortItStillHolds) {
    ScriptedPort& first = connect(2);
    g_ports[6].reads = answeringBoard();
    EXPECT_EQ(m_link.init(6, kI2cTable), 6);
    EXPECT_EQ(first.closes, 1);
}

TEST_F(BoardLinkTest, NullTableChangesNothing) {
    ScriptedPort& port = connect(2);
    EXPECT_EQ(m_link.init(0, nullptr), 0);
    EXPECT_EQ(m_link.init(-1, nullptr), 0);
    EXPECT_TRUE(m_link.isOpen());
    EXPECT_EQ(port.closes, 0);
    EXPECT_EQ(m_link.channels()[0].address, 76);
}

TEST_F(BoardLinkTest, ReadTakesTheValueFromFrameByteSeven) {
    ScriptedPort& port = connect(1);
    port.reads = {bytes(kAckHex), bytes("1E 06 10 01 4C 01 00 A5 01 27")};
    std::uint8_t value = 0;
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 0);
    EXPECT_EQ(value, 0xA5);
    EXPECT_EQ(port.events, (std::vector<std::string>{"purge", "write 1E 06 10 01 4C 10 01 00 00 92",
                                                     "read", "read", "write " + kAckHex}));
}

TEST_F(BoardLinkTest, BytesWaitingBeforeARequestAreNotItsAnswer) {
    ScriptedPort& port = connect(1);
    // A well-formed reply of the same size that came after an earlier read gave up.
    port.waiting = {bytes("1F 00 1E 06 10 01 4C 01 00 77 00 F9")};
    port.reads = {bytes(kAckHex), bytes("1E 06 10 01 4C 01 00 A5 01 27")};
    std::uint8_t value = 0;
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 0);
    EXPECT_EQ(value, 0xA5);

    port.waiting = {bytes("AA 55")};
    port.reads = {bytes(kAckHex), bytes("1E 03 00 01 00 00 22")};
    EXPECT_EQ(m_link.writeData(0, 0x10, &value, 1), 0);
    EXPECT_EQ(port.purges, 2);
    EXPECT_EQ(port.drains, 0);
}

struct ReplyShape {
    const char* name;
    const char* reply; // to a read of three registers from 0x10, after the acknowledgement
    int strictCode;    // read replies checked as frames
    int lenientCode;   // judged by length only
};

class ReplyJudging : public BoardLinkTest, public ::testing::WithParamInterface<ReplyShape> {
protected:
    void TearDown() override {
        ::unsetenv("SUNDIAL_LENIENT_REPLIES");
        BoardLinkTest::TearDown();
    }
    void readWith(const char* lenient, int code) {
        if (lenient != nullptr) {
            ::setenv("SUNDIAL_LENIENT_REPLIES", lenient, 1);
        }
        ScriptedPort& port = connect(1); // the switch is read at init
        port.reads = {bytes(kAckHex), bytes(GetParam().reply)};
        std::uint8_t values[3] = {0x5A, 0x5A, 0x5A};
        EXPECT_EQ(m_link.readData(0, 0x10, values, 3), code);
        const std::vector<std::uint8_t> got(values, values + 3);
        const std::vector<std::uint8_t> expected =
            code == 0 ? std::vector<std::uint8_t>{0x11, 0x22, 0x33}
                      : std::vector<std::uint8_t>{0x5A, 0x5A, 0x5A};
        EXPECT_EQ(got, expected);
        EXPECT_EQ(port.drains, code == 0 ? 0 : 1);
        EXPECT_EQ(port.writes.size(), code == 0 ? 2u : 1u) << "closing ack only for a reply taken";
    }
};

TEST_P(ReplyJudging, Strict) {
    readWith(nullptr, GetParam().strictCode);
    EXPECT_FALSE(m_link.lenientReplies());
}

TEST_P(ReplyJudging, Lenient) {
    readWith("1", GetParam().lenientCode);
    EXPECT_TRUE(m_link.lenientReplies());
}

INSTANTIATE_TEST_SUITE_P(
    Link, ReplyJudging,
    ::testing::Values(ReplyShape{"wellFormed", "1E 08 10 01 10 03 00 11 22 33 00 B0", 0, 0},
                      ReplyShape{"badStartByte", "1D 08 10 01 10 03 00 11 22 33 00 AF", 4, 0},
                      ReplyShape{"badLength", "1E 09 10 01 10 03 00 11 22 33 00 B1", 4, 0},
                      ReplyShape{"badChecksum", "1E 08 10 01 10 03 00 11 22 33 00 B1", 4, 0},
                      ReplyShape{"checksumHighByte", "1E 08 10 01 10 03 00 11 22 33 01 B0", 4, 0},
                      ReplyShape{"noFrameAtAll", "00 00 00 00 00 00 00 11 22 33 00 00", 4, 0}),
    testsupport::ByCaseName());

TEST_F(BoardLinkTest, OnlyOneTurnsTheLenientSwitchOn) {
    ::setenv("SUNDIAL_LENIENT_REPLIES", "yes", 1);
    ScriptedPort& port = connect(1);
    ::unsetenv("SUNDIAL_LENIENT_REPLIES");
    EXPECT_FALSE(m_link.lenientReplies());
    port.reads = {bytes(kAckHex), bytes("1E 08 10 01 10 03 00 11 22 33 00 B1")};
    std::uint8_t values[3] = {};
    EXPECT_EQ(m_link.readData(0, 0x10, values, 3), 4) << "a bad checksum is refused";
}

struct FailedRead {
    const char* name;
    std::deque<ReadStep> answers;
    std::optional<std::size_t> failingWrite;
    int code;
    std::size_t writes; // write calls made
};

class ReadFailures : public BoardLinkTest, public ::testing::WithParamInterface<FailedRead> {};

TEST_P(ReadFailures, GiveTheStepsCodeAndDrain) {
    const FailedRead& c = GetParam();
    ScriptedPort& port = connect(1);
    port.reads = c.answers;
    port.failWriteNumber = c.failingWrite;
    std::uint8_t value = 0x5A;
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), c.code);
    EXPECT_EQ(value, 0x5A) << "buffer untouched on failure";
    EXPECT_EQ(port.writes.size(), c.writes);
    EXPECT_EQ(port.events.front(), "purge");
    EXPECT_EQ(port.drains, 1);
    EXPECT_EQ(port.events.back(), "drain");
    EXPECT_TRUE(m_link.isOpen()) << "the port stays open after a failed transaction";
}

INSTANTIATE_TEST_SUITE_P(
    Link, ReadFailures,
    ::testing::Values(
        FailedRead{"sendFails", {}, 0, 1, 1}, FailedRead{"noAck", {}, {}, 2, 1},
        FailedRead{"ackReadFails", {failure()}, {}, 2, 1},
        FailedRead{"halfAckThenSilence", {bytes("1F")}, {}, 2, 1},
        FailedRead{"wrongAck", {bytes("1F 01"), bytes("1E 06 10 01 4C 01 00 A5 01 27")}, {}, 3, 1},
        FailedRead{"nakByte", {bytes("AA 55")}, {}, 3, 1},
        FailedRead{"noReply", {bytes(kAckHex)}, {}, 4, 1},
        FailedRead{"replyOneShort", {bytes("1F 00 1E 06 10 01 4C 01 00 A5 01")}, {}, 4, 1},
        FailedRead{"replyReadFails", {bytes(kAckHex), bytes("1E 06"), failure()}, {}, 4, 1},
        FailedRead{
            "replyInFourPieces",
            {bytes(kAckHex), bytes("1E 06 10"), bytes("01 4C 01"), bytes("00 A5"), bytes("01 27")},
            {},
            4,
            1},
        FailedRead{"closingAckFails", {bytes("1F 00 1E 06 10 01 4C 01 00 A5 01 27")}, 1, 5, 2}),
    testsupport::ByCaseName());

// A failed read call means the device went away: the wait ends there, not after two more calls
// that could only time out.
TEST_F(BoardLinkTest, AFailedReadCallEndsTheWaitAtOnce) {
    std::uint8_t value = 0x5A;
    ScriptedPort* port = &connect(1);
    port->reads = {failure()};
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 2);
    EXPECT_EQ(port->readCalls, 1);

    port = &connect(2);
    port->reads = {bytes(kAckHex), bytes("1E 06"), failure()};
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 4);
    EXPECT_EQ(port->readCalls, 3);

    port = &connect(3);
    port->reads = {failure()};
    EXPECT_EQ(m_link.writeData(0, 0x10, &value, 1), 2);
    EXPECT_EQ(port->readCalls, 1);
}

TEST_F(BoardLinkTest, ReplyInThreePiecesArrives) {
    ScriptedPort& port = connect(1);
    port.reads = {bytes("1F"), bytes("00"), bytes("1E 06 10"), timeout(),
                  bytes("01 4C 01 00 A5 01 27")};
    std::uint8_t value = 0;
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 0);
    EXPECT_EQ(value, 0xA5);
    EXPECT_EQ(port.readCalls, 5);
}

struct WriteAnswer {
    const char* name;
    const char* ack;
    const char* reply; // to a write of 0x55 to register 0x10 on channel 0 (I2C)
    int strictCode;
    int lenientCode; // judged by length only
};

class WriteJudging : public BoardLinkTest, public ::testing::WithParamInterface<WriteAnswer> {
protected:
    void TearDown() override {
        ::unsetenv("SUNDIAL_LENIENT_REPLIES");
        BoardLinkTest::TearDown();
    }
    void writeWith(bool lenient, int code) {
        if (lenient) {
            ::setenv("SUNDIAL_LENIENT_REPLIES", "1", 1);
        }
        ScriptedPort& port = connect(1);
        port.reads = {bytes(GetParam().ack), bytes(GetParam().reply)};
        const std::uint8_t value = 0x55;
        EXPECT_EQ(m_link.writeData(0, 0x10, &value, 1), code);
        EXPECT_EQ(port.writes.front(), "1E 05 00 01 4C 10 55 00 D5");
        EXPECT_EQ(port.drains, code == 0 ? 0 : 1);
        EXPECT_EQ(port.writes.size(), code == 0 ? 2u : 1u) << "closing ack only for a reply taken";
        EXPECT_EQ(m_link.outOfStep(), code != 0);
    }
};

TEST_P(WriteJudging, Strict) {
    writeWith(false, GetParam().strictCode);
}

TEST_P(WriteJudging, Lenient) {
    writeWith(true, GetParam().lenientCode);
}

INSTANTIATE_TEST_SUITE_P(
    Link, WriteJudging,
    ::testing::Values(WriteAnswer{"wellFormed", "1F 00", "1E 03 00 01 00 00 22", 0, 0},
                      WriteAnswer{"garbageAck", "AB CD", "1E 03 00 01 00 00 22", 2, 0},
                      WriteAnswer{"wrongAck", "1F 01", "1E 03 00 01 00 00 22", 2, 0},
                      WriteAnswer{"garbageReply", "1F 00", "00 11 22 33 44 55 66", 3, 0},
                      WriteAnswer{"badStartByte", "1F 00", "1D 03 00 01 00 00 21", 3, 0},
                      WriteAnswer{"badLength", "1F 00", "1E 04 00 01 00 00 23", 3, 0},
                      WriteAnswer{"badChecksum", "1F 00", "1E 03 00 01 00 00 23", 3, 0}),
    testsupport::ByCaseName());

TEST_F(BoardLinkTest, ASetupAnsweredWithGarbageIsAFailure) {
    g_ports[2].reads = {bytes(kAckHex), bytes(kProbeReply), bytes("AA 55")};
    EXPECT_EQ(m_link.init(2, kI2cTable), 2);
    EXPECT_EQ(g_ports[2].drains, 1);
    EXPECT_TRUE(m_link.outOfStep()) << "the board did not answer the later set-ups";
}

// After a failure, the next call first sends a probe and waits until its answer is the last
// thing on the line: older answers that outlived the drain are read past, not taken.
TEST_F(BoardLinkTest, AfterAFailureTheNextCallResynchronisesFirst) {
    ScriptedPort& port = connect(1);
    port.reads = {bytes(kAckHex)};                                // then no reply
    port.survivesDrain = {bytes("1E 06 10 01 4C 01 00 77 00 F9"), // the late reply
                          bytes("1F 00 1E 03 8F 00 00 00 B0"),    // the probe's answer
                          timeout(), bytes(kAckHex), bytes("1E 06 10 01 4C 01 00 A5 01 27")};
    std::uint8_t value = 0x5A;
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 4);
    EXPECT_TRUE(m_link.outOfStep());
    port.events.clear();
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 0);
    EXPECT_EQ(value, 0xA5) << "the late reply's 0x77 is not taken";
    EXPECT_FALSE(m_link.outOfStep());
    EXPECT_EQ(port.events, (std::vector<std::string>{"purge", "write " + kProbe, "soon", "soon",
                                                     "soon", "write " + kAckHex, "purge",
                                                     "write 1E 06 10 01 4C 10 01 00 00 92", "read",
                                                     "read", "write " + kAckHex}));
}

// Echoes are learnt per request layout: what an I2C read's header proves says nothing about a
// type-3 read's, where the register sits elsewhere. A stale reply of another register is refused
// once its layout has proven the echo; firmware with constant headers is never refused.
TEST_F(BoardLinkTest, ReplyEchoesAreLearntPerLayout) {
    ScriptedPort& port = connect(1);
    std::uint8_t values[2] = {};
    // I2C reads of 0x10 and 0x11 whose headers repeat command, type, register and count.
    port.reads = {bytes(kAckHex), bytes("1E 06 10 01 10 01 00 C0 01 06")};
    ASSERT_EQ(m_link.readData(0, 0x10, values, 1), 0);
    port.reads = {bytes(kAckHex), bytes("1E 06 10 01 11 01 00 21 00 68")};
    ASSERT_EQ(m_link.readData(0, 0x11, values, 1), 0);
    // A type-3 read of two board registers: its header holds 0x80 | first register.
    port.reads = {bytes(kAckHex), bytes("1E 07 17 03 80 02 00 AA BB 02 26")};
    EXPECT_EQ(m_link.readData(7, 0x00, values, 2), 0) << "another layout's echo is no verdict";
    EXPECT_EQ(values[0], 0xAA);
    // A reply to a read of 0x11 where 0x12 was asked for.
    port.reads = {bytes(kAckHex), bytes("1E 06 10 01 11 01 00 21 00 68")};
    EXPECT_EQ(m_link.readData(0, 0x12, values, 1), 4);
}

struct Resync {
    const char* name;
    std::deque<ReadStep> afterProbe; // what the resynchronisation reads
    bool inStep;
};

class Resynchronising : public BoardLinkTest, public ::testing::WithParamInterface<Resync> {};

TEST_P(Resynchronising, TakesOnlyAProbeAnswerThatEndsTheLine) {
    ScriptedPort& port = connect(1);
    port.reads = {timeout(), timeout(), timeout()}; // a write that is never acknowledged
    port.survivesDrain = GetParam().afterProbe;
    const std::uint8_t value = 0x55;
    ASSERT_EQ(m_link.writeData(0, 0x10, &value, 1), 2);
    port.writes.clear();
    if (GetParam().inStep) {
        port.reads.push_back(timeout()); // the line is quiet after the probe's answer
        port.reads.push_back(bytes("1F 00 1E 03 00 01 00 00 22"));
        EXPECT_EQ(m_link.writeData(0, 0x10, &value, 1), 0);
        EXPECT_EQ(port.writes, (std::vector<std::string>{kProbe, kAckHex,
                                                         "1E 05 00 01 4C 10 55 00 D5", kAckHex}));
    } else {
        EXPECT_EQ(m_link.writeData(0, 0x10, &value, 1), 2);
        EXPECT_EQ(port.writes, (std::vector<std::string>{kProbe})) << "the write is not sent";
        EXPECT_TRUE(m_link.outOfStep());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, Resynchronising,
    ::testing::Values(
        Resync{"probeAnswerAlone", {bytes("1F 00 1E 03 8F 00 00 00 B0")}, true},
        Resync{"olderWriteAnswerFirst",
               {bytes("1F 00 1E 03 00 01 00 00 22"), bytes("1F 00 1E 03 8F 00 00 00 B0")},
               true},
        Resync{"answerInPieces", {bytes("1F"), bytes("00 1E 03"), bytes("8F 00 00 00 B0")}, true},
        Resync{"silentBoard", {}, false},
        Resync{"garbageOnly", {bytes("AA 55 AA 55 AA 55 AA 55 AA 55")}, false},
        Resync{
            "answerFollowedByGarbage", {bytes("1F 00 1E 03 8F 00 00 00 B0"), bytes("AA")}, false},
        Resync{"badChecksum", {bytes("1F 00 1E 03 8F 00 00 00 B1")}, false},
        Resync{"babble",
               std::deque<ReadStep>(100, ReadStep{std::vector<std::uint8_t>(64, 0xAA), false,
                                                  std::nullopt}),
               false}),
    testsupport::ByCaseName());

struct FailedWrite {
    const char* name;
    std::deque<ReadStep> answers;
    std::optional<std::size_t> failingWrite;
    int code;
};

class WriteFailures : public BoardLinkTest, public ::testing::WithParamInterface<FailedWrite> {};

TEST_P(WriteFailures, GiveTheStepsCodeAndDrain) {
    const FailedWrite& c = GetParam();
    ScriptedPort& port = connect(1);
    port.reads = c.answers;
    port.failWriteNumber = c.failingWrite;
    const std::uint8_t value = 0x01;
    EXPECT_EQ(m_link.writeData(7, 0x37, &value, 1), c.code);
    EXPECT_EQ(port.writes.front(), "1E 06 07 03 37 37 00 01 00 9D");
    EXPECT_EQ(port.events.front(), "purge");
    EXPECT_EQ(port.drains, 1);
    EXPECT_EQ(port.events.back(), "drain");
}

INSTANTIATE_TEST_SUITE_P(
    Link, WriteFailures,
    ::testing::Values(FailedWrite{"sendFails", {}, 0, 1},
                      FailedWrite{"noAck", {timeout(), timeout(), timeout()}, {}, 2},
                      FailedWrite{"ackReadFails", {failure()}, {}, 2},
                      FailedWrite{"noReply", {bytes(kAckHex)}, {}, 3},
                      FailedWrite{"replyInFourPieces",
                                  {bytes(kAckHex), bytes("1E"), bytes("03 07"), bytes("03 00"),
                                   bytes("00 2B")},
                                  {},
                                  3},
                      FailedWrite{"closingAckFails", {bytes("1F 00 1E 03 07 03 00 00 2B")}, 1, 4}),
    testsupport::ByCaseName());

TEST_F(BoardLinkTest, ASetupFailureDoesNotStopTheConnection) {
    g_ports[2].reads = {bytes(kAckHex), bytes(kProbeReply)}; // then silent for the set-ups
    EXPECT_EQ(m_link.init(2, kI2cTable), 2);
    EXPECT_TRUE(m_link.isOpen());
    // Probe, closing ack, the first set-up; then each later set-up waits for a probe's answer
    // that never comes, and is not sent.
    std::vector<std::string> writes = {kProbe, kAckHex, "1E 03 50 00 01 00 72"};
    writes.insert(writes.end(), 7, kProbe);
    EXPECT_EQ(g_ports[2].writes, writes);
    EXPECT_EQ(g_ports[2].drains, 1);
    EXPECT_EQ(g_now, 7 * (3 * kReadTimeoutMs + kDrainLimitMs)) << "each wait is bounded";
}

TEST_F(BoardLinkTest, NoPortMeansCodeOneAndNothingSent) {
    std::uint8_t value = 0;
    EXPECT_EQ(m_link.readData(0, 0x10, &value, 1), 1);
    EXPECT_EQ(m_link.writeData(0, 0x10, &value, 1), 1);
    EXPECT_EQ(m_link.close(), 0);
}

TEST_F(BoardLinkTest, RejectedArgumentsSendNothing) {
    Channel table[8] = {{1, 76}, {}, {}, {}, {}, {}, {5, 0}, {3, 0}};
    ScriptedPort& port = connect(1, table);
    std::vector<std::uint8_t> buffer(300, 0);
    struct Rejected {
        const char* what;
        int code;
    };
    const Rejected cases[] = {
        {"read count 0", m_link.readData(0, 0x10, buffer.data(), 0)},
        {"read count -1", m_link.readData(0, 0x10, buffer.data(), -1)},
        {"read count 256", m_link.readData(0, 0x10, buffer.data(), 256)},
        {"read null buffer", m_link.readData(0, 0x10, nullptr, 1)},
        {"read channel -1", m_link.readData(-1, 0x10, buffer.data(), 1)},
        {"read channel 8", m_link.readData(8, 0x10, buffer.data(), 1)},
        {"read type 0 channel", m_link.readData(3, 0x10, buffer.data(), 1)},
        {"read type 5 channel", m_link.readData(6, 0x10, buffer.data(), 1)},
        {"write count 0", m_link.writeData(0, 0x10, buffer.data(), 0)},
        {"write count 252 on type 1", m_link.writeData(0, 0x10, buffer.data(), 252)},
        {"write count 251 on type 3", m_link.writeData(7, 0x10, buffer.data(), 251)},
        {"write null data", m_link.writeData(0, 0x10, nullptr, 1)},
        {"write channel 8", m_link.writeData(8, 0x10, buffer.data(), 1)},
        {"write type 0 channel", m_link.writeData(2, 0x10, buffer.data(), 1)},
    };
    for (const Rejected& c : cases) {
        EXPECT_EQ(c.code, 1) << c.what;
    }
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(port.purges, 0);
    EXPECT_EQ(port.drains, 0);
}

TEST_F(BoardLinkTest, CloseReturnsThePlatformResult) {
    ScriptedPort& port = connect(1);
    port.closeResult = 7;
    EXPECT_EQ(m_link.close(), 7);
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(m_link.isOpen());
    EXPECT_EQ(m_link.close(), 0);
    EXPECT_EQ(port.closes, 1);
}

// A reply frame as the board builds it: its length byte holds the low 8 bits of the payload's
// size, which wraps for reads of more than 250 registers.
std::string replyFrame(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame(payload.size() + 2);
    frame[0] = kStartByte;
    frame[1] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), frame.begin() + 2);
    const std::uint16_t sum = checksum(frame);
    frame.push_back(static_cast<std::uint8_t>(sum >> 8));
    frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return hexOf(frame);
}

// Every count the request's count byte carries, the longest replies among them, land whole in
// the caller's buffer and nowhere else; 256 is refused before anything is sent.
TEST_F(BoardLinkTest, ReadsOfEveryCountTakeTheirWholeReply) {
    for (const int count : {1, 250, 251, 252, 253, 254, 255, 256}) {
        SCOPED_TRACE(count);
        ScriptedPort& port = connect(1);
        std::vector<std::uint8_t> payload = {0x10, 0x01, 0x00, static_cast<std::uint8_t>(count),
                                             0x00};
        for (int i = 0; i < count; ++i) {
            payload.push_back(static_cast<std::uint8_t>(i * 7 + 1));
        }
        port.reads = {bytes(kAckHex), bytes(replyFrame(payload))};
        // A guard on either side of the caller's buffer.
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count) + 2, 0xEE);
        const int code = m_link.readData(0, 0x00, buffer.data() + 1, count);
        if (count > kMaxReadCount) {
            EXPECT_EQ(code, 1);
            EXPECT_TRUE(port.writes.empty());
            continue;
        }
        ASSERT_EQ(code, 0);
        EXPECT_EQ(buffer.front(), 0xEE);
        EXPECT_EQ(buffer.back(), 0xEE);
        EXPECT_TRUE(std::equal(buffer.begin() + 1, buffer.end() - 1, payload.begin() + 5));
        m_link.close();
    }
}

// A write's frame must carry its whole length in one byte: the longest writes of each layout
// go out whole, one more byte is refused.
TEST_F(BoardLinkTest, WritesUpToTheLongestFrameGoOut) {
    const struct {
        int channel;
        int count;
        int code;
    } cases[] = {{0, 251, 0}, {0, 252, 1}, {7, 250, 0}, {7, 251, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ScriptedPort& port = connect(1);
        port.reads = {bytes(kAckHex),
                      bytes(c.channel == 0 ? "1E 03 00 01 00 00 22" : "1E 03 07 03 00 00 2B")};
        const std::vector<std::uint8_t> data(static_cast<std::size_t>(c.count), 0xA5);
        EXPECT_EQ(m_link.writeData(c.channel, 0x00, data.data(), c.count), c.code);
        if (c.code == 0) {
            const std::vector<std::uint8_t> sent = bytesOf(port.writes.front());
            EXPECT_EQ(sent.size(), 259u);
            EXPECT_EQ(sent[1], 255);
        }
        m_link.close();
    }
}

// A type travels in one byte: the set-up tells the board the low 8 bits, and reads and writes
// are framed for that same type.
TEST_F(BoardLinkTest, AChannelIsTheTypeItsSetupCarries) {
    const struct {
        std::int32_t type;
        const char* setup;
        const char* read; // the read request of register 0x10, or empty when refused
    } cases[] = {
        {0x101, "1E 03 50 00 01 00 72", "1E 06 10 01 4C 10 01 00 00 92"},
        {0x103, "1E 03 50 00 03 00 74", "1E 06 10 03 90 90 01 00 01 58"},
        {0x100, "1E 03 50 00 00 00 71", ""},
        {-255, "1E 03 50 00 01 00 72", "1E 06 10 01 4C 10 01 00 00 92"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        SetUp();
        Channel table[8] = {{c.type, c.type == 0x103 ? 0 : 76}, {}, {}, {}, {}, {}, {}, {3, 0}};
        g_ports[1].reads = answeringBoard();
        ASSERT_EQ(m_link.init(1, table), 1);
        EXPECT_EQ(g_ports[1].writes.at(2), c.setup);
        ScriptedPort& port = g_ports[1];
        port.writes.clear();
        std::uint8_t value = 0;
        const int code = m_link.readData(0, 0x10, &value, 1);
        if (*c.read == '\0') {
            EXPECT_EQ(code, 1);
            EXPECT_TRUE(port.writes.empty());
        } else {
            EXPECT_EQ(port.writes.front(), c.read);
        }
        m_link.close();
    }
}

// After a failed write, answers keep coming in the order of their requests, with gaps: a late
// answer to the failed write (once or twice), then the probe's. Only the probe's answer as the
// board gave it at the search brings the line back in step; the next write, which the board
// never receives, fails rather than taking the probe's answer for its own.
struct LateAnswers {
    const char* name;
    std::deque<ReadStep> afterProbe; // on the clock; the failed write ends at 0
    bool boardLooksAlike;            // the board's write replies are its probe answer
};

class StaleAnswers : public BoardLinkTest, public ::testing::WithParamInterface<LateAnswers> {};

TEST_P(StaleAnswers, AreNeverTakenForTheNextRequest) {
    const LateAnswers& c = GetParam();
    ScriptedPort& port = connect(1);
    const std::string writeReply = c.boardLooksAlike ? kProbeReply : "1E 03 00 01 00 00 22";
    const std::uint8_t value = 0x55;
    port.reads = {bytes(kAckHex), bytes(writeReply)};
    ASSERT_EQ(m_link.writeData(0, 0x11, &value, 1), 0) << "a write taken in step";
    port.reads = {timeout(), timeout(), timeout()};
    port.survivesDrain = c.afterProbe;
    ASSERT_EQ(m_link.writeData(0, 0x10, &value, 1), 2);
    port.writes.clear();
    const int code = m_link.writeData(0, 0x12, &value, 1); // lost on its way
    EXPECT_NE(code, 0) << "reported done, but the board never had it";
    EXPECT_EQ(port.writes.size(), 3u) << "probe, its closing acknowledgement, the write";
}

const std::string kLateWrite = "1F 00 1E 03 00 01 00 00 22";
const std::string kProbeAnswer = "1F 00 " + kProbeReply;

INSTANTIATE_TEST_SUITE_P(
    Link, StaleAnswers,
    ::testing::Values(
        LateAnswers{
            "lateAnswerThenSlowProbeAnswer", {at(200, kLateWrite), at(350, kProbeAnswer)}, false},
        LateAnswers{"lateAnswerTwiceThenProbeAnswer",
                    {at(200, kLateWrite), at(300, kLateWrite), at(350, kProbeAnswer)},
                    false},
        LateAnswers{"alikeBoardLateAnswerThenSlowProbeAnswer",
                    {at(200, kProbeAnswer), at(350, kProbeAnswer)},
                    true},
        LateAnswers{"alikeBoardProbeAnswerAlmostAReadWaitLater",
                    {at(200, kProbeAnswer), at(200 + kReadTimeoutMs - 1, kProbeAnswer)},
                    true}),
    testsupport::ByCaseName());

// Where a board's write replies differ from its probe answer, the probe's answer that arrives in
// a write's place is a late answer to a probe, not the write's.
TEST_F(BoardLinkTest, AProbeAnswerIsNoWriteReply) {
    ScriptedPort& port = connect(1);
    const std::uint8_t value = 0x55;
    port.reads = {bytes(kAckHex), bytes(kProbeReply)};
    EXPECT_EQ(m_link.writeData(0, 0x11, &value, 1), 0) << "nothing learnt yet: taken";
    // A board whose write replies look like its probe answer keeps working.
    port.reads = {bytes(kAckHex), bytes(kProbeReply)};
    EXPECT_EQ(m_link.writeData(0, 0x11, &value, 1), 0);

    ScriptedPort& other = connect(2);
    other.reads = {bytes(kAckHex), bytes("1E 03 00 01 00 00 22")};
    EXPECT_EQ(m_link.writeData(0, 0x11, &value, 1), 0);
    other.reads = {bytes(kAckHex), bytes(kProbeReply)};
    EXPECT_EQ(m_link.writeData(0, 0x11, &value, 1), 3);
}

} // namespace

namespace {

long long traceMicroseconds() {
    return g_now * 1000;
}

std::vector<std::string> traceLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// With SUNDIAL_TRACE set at _init, every frame and acknowledgement in both directions, what a
// resynchronisation read past, and each call's result, in order on the link's time.
TEST_F(BoardLinkTest, TheTraceHasEveryPieceAndEachCallsResultInOrder) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("boardlink-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())))
            .string();
    std::filesystem::remove(path);
    ::setenv("SUNDIAL_TRACE", path.c_str(), 1);
    BoardLink link{&openScripted, &fakeClock, &fakeWait, &traceMicroseconds};
    g_ports[2].reads = answeringBoard();
    ASSERT_EQ(link.init(2, kI2cTable), 2);
    ::unsetenv("SUNDIAL_TRACE");
    ScriptedPort& port = g_ports[2];
    // A read, then a write that is never acknowledged, then one after getting back in step past
    // an older write's reply.
    port.reads = {bytes(kAckHex), bytes("1E 06 10 01 4C 10 01 C0 01 52")};
    std::uint8_t value = 0;
    ASSERT_EQ(link.readData(0, 0x10, &value, 1), 0);
    port.reads = {timeout(), timeout(), timeout()};
    port.survivesDrain = {bytes("1F 00 1E 03 00 01 00 00 22"), bytes("1F 00 1E 03 8F 00 00 00 B0"),
                          timeout(), bytes("1F 00 1E 03 00 01 00 00 22")};
    ASSERT_EQ(link.writeData(0, 0x10, &value, 1), 2);
    ASSERT_EQ(link.writeData(0, 0x10, &value, 1), 0);
    link.close();

    std::vector<std::string> expected = {
        "0.000 tx 1E 03 8F 00 FF 01 AF ; probe port=2",
        "0.000 rx 1F 00 ; ack port=2",
        "0.000 rx 1E 03 8F 00 00 00 B0 ; probe-reply port=2",
        "0.000 tx 1F 00 ; ack port=2",
    };
    const char* const setups[] = {"1E 03 50 00 01 00 72", "1E 03 51 00 00 00 72",
                                  "1E 03 52 00 00 00 73", "1E 03 53 00 00 00 74",
                                  "1E 03 54 00 00 00 75", "1E 03 55 00 00 00 76",
                                  "1E 03 56 00 00 00 77", "1E 03 57 00 03 00 7B"};
    for (int k = 0; k < 8; ++k) {
        expected.push_back(std::string("0.000 tx ") + setups[k] + " ; setup " + std::to_string(k) +
                           " type=" +
                           (k == 0   ? "1"
                            : k == 7 ? "3"
                                     : "0"));
        expected.push_back("0.000 rx 1F 00 ; ack");
    }
    // The scripted port's blocking reads take no time; the resynchronisation's quiet does.
    const std::vector<std::string> rest = {
        "0.000 call ; _init port=2 result=2 ms=0.000",
        "0.000 tx 1E 06 10 01 4C 10 01 00 00 92 ; read ch=0 type=1 addr=0x4C reg=0x10 count=1",
        "0.000 rx 1F 00 ; ack",
        "0.000 rx 1E 06 10 01 4C 10 01 C0 01 52 ; read-reply values=C0",
        "0.000 tx 1F 00 ; ack",
        "0.000 call ; _readData ch=0 reg=0x10 count=1 result=0 ms=0.000",
        "0.000 tx 1E 05 00 01 4C 10 C0 01 40 ; write ch=0 type=1 addr=0x4C reg=0x10 val=C0",
        "0.000 rx ; missing 0 of 2",
        "0.000 call ; _writeData ch=0 reg=0x10 count=1 result=2 ms=0.000",
        "0.000 tx 1E 03 8F 00 FF 01 AF ; probe (resync)",
        "50.000 skip 1F 00 1E 03 00 01 00 00 22 ; read past",
        "50.000 rx 1F 00 ; ack",
        "50.000 rx 1E 03 8F 00 00 00 B0 ; probe-reply",
        "50.000 tx 1F 00 ; ack",
        "50.000 tx 1E 05 00 01 4C 10 C0 01 40 ; write ch=0 type=1 addr=0x4C reg=0x10 val=C0",
        "50.000 rx 1F 00 ; ack",
        "50.000 rx 1E 03 00 01 00 00 22 ; write-reply",
        "50.000 tx 1F 00 ; ack",
        "50.000 call ; _writeData ch=0 reg=0x10 count=1 result=0 ms=50.000",
        "50.000 call ; _close result=1 ms=0.000",
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(traceLines(path), expected);
    std::filesystem::remove(path);
}

} // namespace
