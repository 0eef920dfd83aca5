// The virtual board as the PC sees it: bytes on its pseudo-terminal, its control socket, its
// transcript and its command line.
#include "tests/support/evmprocess.h"

#include "tests/support/casenames.h"
#include "tests/support/hexbytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using testsupport::bytesOf;
using testsupport::EvmProcess;
using testsupport::hexOf;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kGuardMs = 3000; // only reached when something is broken

// A request frame around `payload`, with its own checksum arithmetic.
std::string frameOf(const std::string& payloadText) {
    std::vector<uint8_t> frame = bytesOf(payloadText);
    frame.insert(frame.begin(), {0x1E, static_cast<uint8_t>(frame.size())});
    unsigned sum = 0;
    for (uint8_t byte : frame) {
        sum += byte;
    }
    frame.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    frame.push_back(static_cast<uint8_t>(sum & 0xFF));
    return hexOf(frame);
}

void expectWellFormed(const std::vector<uint8_t>& reply) {
    ASSERT_GE(reply.size(), 4u);
    EXPECT_EQ(reply[0], 0x1E);
    EXPECT_EQ(size_t{reply[1]} + 4, reply.size());
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < reply.size(); ++i) {
        sum += reply[i];
    }
    EXPECT_EQ(reply[reply.size() - 2], (sum >> 8) & 0xFF) << hexOf(reply);
    EXPECT_EQ(reply[reply.size() - 1], sum & 0xFF) << hexOf(reply);
}

// The PC's end of the line, opened through the link and set raw like the link library does.
class Port {
public:
    struct Chunk {
        std::vector<uint8_t> bytes;
        Clock::time_point at;
    };

    explicit Port(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
        }
        termios line{};
        ::tcgetattr(m_fd, &line);
        ::cfmakeraw(&line);
        line.c_cc[VMIN] = 0;
        line.c_cc[VTIME] = 0;
        ::tcsetattr(m_fd, TCSANOW, &line);
    }
    ~Port() { ::close(m_fd); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    int fd() const { return m_fd; }

    void send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void send(const std::string& text) { send(bytesOf(text)); }

    // Up to `count` bytes, each read noted with its arrival time; stops at the deadline.
    std::vector<Chunk> receiveChunks(size_t count, int timeoutMs = kGuardMs) {
        std::vector<Chunk> chunks;
        size_t have = 0;
        const auto deadline = Clock::now() + milliseconds(timeoutMs);
        while (have < count) {
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            pollfd pfd{m_fd, POLLIN, 0};
            if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            uint8_t buffer[512];
            const ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, count - have));
            if (n <= 0) {
                break;
            }
            chunks.push_back(Chunk{{buffer, buffer + n}, Clock::now()});
            have += static_cast<size_t>(n);
        }
        return chunks;
    }

    std::vector<uint8_t> receive(size_t count, int timeoutMs = kGuardMs) {
        std::vector<uint8_t> all;
        for (const Chunk& chunk : receiveChunks(count, timeoutMs)) {
            all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
        }
        return all;
    }

private:
    int m_fd = -1;
};

// One transaction as the PC runs it: request, acknowledgement, reply of `replyLength` bytes (none
// for 0), closing acknowledgement. Returns the reply.
std::vector<uint8_t> transact(Port& port, const std::string& request, size_t replyLength) {
    port.send(request);
    EXPECT_EQ(hexOf(port.receive(2)), "1F 00") << request;
    if (replyLength == 0) {
        return {};
    }
    std::vector<uint8_t> reply = port.receive(replyLength);
    EXPECT_EQ(reply.size(), replyLength) << request;
    expectWellFormed(reply);
    port.send("1F 00");
    return reply;
}

uint8_t readOne(Port& port, const std::string& readPayload) {
    const std::vector<uint8_t> reply = transact(port, frameOf(readPayload), 10);
    return reply.size() == 10 ? reply[7] : uint8_t{0xEE};
}

void write(Port& port, const std::string& writePayload) {
    transact(port, frameOf(writePayload), 7);
}

// Whatever the board did before, the next bytes on the line must be a probe's answer: proves
// that nothing else was sent (requests are answered in order).
void expectNextAnswerIsTheProbes(Port& port) {
    port.send("1E 03 8F 00 FF 01 AF");
    const std::vector<uint8_t> answer = port.receive(9);
    ASSERT_EQ(answer.size(), 9u) << hexOf(answer);
    EXPECT_EQ(hexOf(std::vector<uint8_t>(answer.begin(), answer.begin() + 2)), "1F 00");
    const std::vector<uint8_t> reply(answer.begin() + 2, answer.end());
    EXPECT_EQ(reply[1], 3);
    expectWellFormed(reply);
    port.send("1F 00");
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string decodingOf(const std::string& line) {
    const size_t semicolon = line.find(" ; ");
    return semicolon == std::string::npos ? std::string() : line.substr(semicolon + 3);
}

// ---------------------------------------------------------------------------------------------

TEST(VirtualEvm, AnnouncesARawPtyBehindTheLinkAndASocket) {
    EvmProcess evm;
    EXPECT_EQ(evm.devicePath().rfind("/dev/pts/", 0), 0u) << evm.devicePath();
    char target[256] = {};
    ASSERT_GT(::readlink(evm.linkPath().c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), evm.devicePath());
    struct stat info {};
    ASSERT_EQ(::stat(evm.controlPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_TRUE(evm.transcript().empty());

    // Raw from the start: whoever opens the device first meets no echo and no translation.
    const int fd = ::open(evm.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios line{};
    ASSERT_EQ(::tcgetattr(fd, &line), 0);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON | INLCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
    ::close(fd);
}

struct ReferenceCase {
    const char* name;
    const char* request;
    size_t replyLength; // 0: acknowledgement only
    const char* decoding;
    std::optional<uint8_t> value; // reply payload byte 5 of a read
    const char* before;           // control command run first
    const char* check;            // control command run after
    const char* expect;           // its reply
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
    *os << c.name;
}

class ReferenceRequest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceRequest, GetsTheAnswerThePcWaitsFor) {
    const ReferenceCase& c = GetParam();
    EvmProcess evm;
    ASSERT_EQ(evm.control(c.before), "ok");
    Port port(evm.linkPath());

    const std::vector<uint8_t> reply = transact(port, c.request, c.replyLength);
    if (c.value) {
        ASSERT_EQ(reply.size(), c.replyLength);
        EXPECT_EQ(reply[7], *c.value);
    }
    EXPECT_EQ(evm.control(c.check), c.expect);

    const size_t lines = c.replyLength == 0 ? 2 : 4;
    const auto traffic = evm.transcriptLinesAfter(lines);
    ASSERT_EQ(traffic.size(), lines);
    EXPECT_EQ(decodingOf(traffic[0]), c.decoding);
    const auto hexes = evm.transcript();
    EXPECT_EQ(hexes[0], std::string("rx ") + c.request);
    EXPECT_EQ(hexes[1], "tx 1F 00");
    if (c.replyLength != 0) {
        EXPECT_EQ(hexes[2], "tx " + hexOf(reply));
        EXPECT_EQ(hexes[3], "rx 1F 00");
    }
    expectNextAnswerIsTheProbes(port);
}

INSTANTIATE_TEST_SUITE_P(
    Protocol, ReferenceRequest,
    ::testing::Values(
        ReferenceCase{"probe", "1E 03 8F 00 FF 01 AF", 7, "probe", {}, "ping", "ping", "ok"},
        // 0x55 has bit 7 clear: the codec resets, so the write is not kept either.
        ReferenceCase{"writeCodecI2c",
                      "1E 05 00 01 4C 10 55 00 D5",
                      7,
                      "write ch=0 type=1 addr=0x4C reg=0x10 val=55",
                      {},
                      "reg 0x13 0x22",
                      "get 0x13",
                      "ok 0x00"},
        ReferenceCase{"readCodecI2c", "1E 06 10 01 4C 10 01 00 00 92", 10,
                      "read ch=0 type=1 addr=0x4C reg=0x10 count=1", 0xA5, "reg 0x10 0xA5",
                      "get 0x10", "ok 0xA5"},
        ReferenceCase{"readCodecSpi", "1E 06 10 03 90 90 01 00 01 58", 10,
                      "read ch=0 type=3 reg=0x90 count=1", 0xC0, "ping", "get 0x10", "ok 0xC0"},
        ReferenceCase{
            "setupChannel0", "1E 03 50 00 01 00 72", 0, "setup 0 type=1", {}, "ping", "ping", "ok"},
        ReferenceCase{
            "setupChannel7", "1E 03 57 00 03 00 7B", 0, "setup 7 type=3", {}, "ping", "ping", "ok"},
        ReferenceCase{"writeBoardRegister",
                      "1E 06 07 03 37 37 00 01 00 9D",
                      7,
                      "write ch=7 type=3 reg=0x37 val=01",
                      {},
                      "ping",
                      "get-board 0x37",
                      "ok 0x01"}),
    testsupport::ByCaseName());

struct AccessCase {
    const char* name;
    const char* write; // payload writing 0x5A
    const char* read;  // payload reading it back
};

void PrintTo(const AccessCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteThenRead : public ::testing::TestWithParam<AccessCase> {};

TEST_P(WriteThenRead, GivesBackTheValue) {
    EvmProcess evm;
    Port port(evm.linkPath());
    EXPECT_EQ(readOne(port, GetParam().read), 0x00);
    write(port, GetParam().write);
    EXPECT_EQ(readOne(port, GetParam().read), 0x5A);
}

INSTANTIATE_TEST_SUITE_P(
    Addressing, WriteThenRead,
    ::testing::Values(AccessCase{"codecI2cType1", "00 01 4C 13 5A", "10 01 4C 13 01 00"},
                      AccessCase{"codecI2cType2", "00 02 4C 13 5A", "10 02 4C 13 01 00"},
                      AccessCase{"codecSpi", "00 03 13 13 00 5A", "10 03 93 93 01 00"},
                      AccessCase{"codecType4", "00 04 13 13 5A", "10 04 13 13 01 00"},
                      AccessCase{"boardType3", "07 03 04 04 00 5A", "17 03 84 84 01 00"},
                      AccessCase{"boardType1", "07 01 00 C0 5A", "17 01 00 C0 01 00"}),
    testsupport::ByCaseName());

TEST(VirtualEvm, I2cRequestToAnotherAddressIsNackedOnTheBus) {
    EvmProcess evm({"--i2c-address", "77"});
    Port port(evm.linkPath());
    write(port, "00 01 4C 13 11"); // acknowledged and replied to, but nobody listens
    EXPECT_EQ(evm.control("get 0x13"), "ok 0x00");
    EXPECT_EQ(readOne(port, "10 01 4C 13 01 00"), 0xFF);
    write(port, "00 01 4D 13 11");
    EXPECT_EQ(readOne(port, "10 01 4D 13 01 00"), 0x11);

    ASSERT_EQ(evm.control("i2c-address 0x4C"), "ok");
    EXPECT_EQ(readOne(port, "10 01 4C 13 01 00"), 0x11);
    EXPECT_EQ(readOne(port, "10 01 4D 13 01 00"), 0xFF);
}

TEST(VirtualEvm, SpiDeviceBitsPickTheChip) {
    EvmProcess evm({"--spi-device", "1"});
    Port port(evm.linkPath());
    write(port, "00 03 33 33 00 44"); // device 1
    EXPECT_EQ(evm.control("get 0x13"), "ok 0x44");
    write(port, "00 03 13 13 00 55"); // device 0: not there
    EXPECT_EQ(evm.control("get 0x13"), "ok 0x44");
    EXPECT_EQ(readOne(port, "10 03 B3 B3 01 00"), 0x44);
    EXPECT_EQ(readOne(port, "10 03 93 93 01 00"), 0x00);
    EXPECT_EQ(readOne(port, "10 03 F3 F3 01 00"), 0x00);

    ASSERT_EQ(evm.control("spi-device 0"), "ok");
    EXPECT_EQ(readOne(port, "10 03 93 93 01 00"), 0x44);
}

TEST(VirtualEvm, RegisterResetStatusRegisterAndBlockRead) {
    EvmProcess evm({"--zero", "1"});
    Port port(evm.linkPath());
    EXPECT_EQ(readOne(port, "10 01 4C 15 01 00"), 0x01);
    write(port, "00 01 4C 13 22");
    write(port, "00 01 4C 10 85"); // bit 7 set: kept
    EXPECT_EQ(readOne(port, "10 01 4C 10 01 00"), 0x85);
    EXPECT_EQ(readOne(port, "10 01 4C 13 01 00"), 0x22);
    write(port, "00 01 4C 10 40"); // bit 7 clear: every register back to its default
    EXPECT_EQ(readOne(port, "10 01 4C 10 01 00"), 0xC0);
    EXPECT_EQ(readOne(port, "10 01 4C 13 01 00"), 0x00);

    write(port, "00 01 4C 15 FF"); // read-only
    EXPECT_EQ(readOne(port, "10 01 4C 15 01 00"), 0x00);
    ASSERT_EQ(evm.control("zero 3"), "ok");
    EXPECT_EQ(readOne(port, "10 01 4C 15 01 00"), 0x03);

    write(port, "00 01 4C 11 01 02 03"); // three registers in one go
    const std::vector<uint8_t> reply = transact(port, frameOf("10 01 4C 10 0A 00"), 19);
    ASSERT_EQ(reply.size(), 19u);
    EXPECT_EQ(hexOf(std::vector<uint8_t>(reply.begin() + 7, reply.end() - 2)),
              "C0 01 02 03 00 03 00 00 FF FF");
}

// On a slow line the bytes are the same and come no sooner than the wire carries them: the
// acknowledgement after the request's ten bytes, its own two and the adapter's turnaround; the
// reply after its own bytes more.
TEST(VirtualEvm, AWireModeGivesEachByteItsTimeAndTheAdapterItsTurnaround) {
    constexpr int kBaud = 9600;
    constexpr auto kByte = std::chrono::microseconds(1000000 * 10 / kBaud);
    constexpr auto kLatency = milliseconds(20);
    EvmProcess evm({"--baud", std::to_string(kBaud), "--latency", "20"});
    Port port(evm.linkPath());
    ASSERT_EQ(evm.control("reg 0x11 0x5A"), "ok");
    const auto sent = Clock::now();
    port.send(frameOf("10 01 4C 10 02 00"));
    const std::vector<Port::Chunk> ack = port.receiveChunks(2);
    ASSERT_FALSE(ack.empty());
    EXPECT_GE(ack.back().at - sent, 12 * kByte + kLatency);
    const std::vector<Port::Chunk> chunks = port.receiveChunks(11);
    ASSERT_FALSE(chunks.empty());
    EXPECT_GE(chunks.back().at - sent, 23 * kByte + kLatency);
    std::vector<uint8_t> reply;
    for (const Port::Chunk& chunk : chunks) {
        reply.insert(reply.end(), chunk.bytes.begin(), chunk.bytes.end());
    }
    ASSERT_EQ(reply.size(), 11u);
    expectWellFormed(reply);
    EXPECT_EQ(hexOf(std::vector<uint8_t>(reply.begin() + 7, reply.end() - 2)), "C0 5A");
    port.send("1F 00");
    EXPECT_EQ(evm.transcriptAfter(4).size(), 4u);
    EXPECT_EQ(evm.control("idle"), "ok") << "nothing is left on the line";
}

TEST(VirtualEvm, OtherChannelsAnswerButHoldNothing) {
    EvmProcess evm;
    Port port(evm.linkPath());
    write(port, "03 01 4C 13 77");
    EXPECT_EQ(evm.control("get 0x13"), "ok 0x00");
    EXPECT_EQ(readOne(port, "13 01 4C 13 01 00"), 0x00);
    EXPECT_EQ(readOne(port, "13 01 4C 10 01 00"), 0x00);
}

TEST(VirtualEvm, BadChecksumIsLoggedAndNotAnswered) {
    EvmProcess evm;
    Port port(evm.linkPath());
    port.send("1E 05 00 01 4C 13 44 00 C8"); // checksum off by one
    expectNextAnswerIsTheProbes(port);
    EXPECT_EQ(evm.control("get 0x13"), "ok 0x00");
    const auto lines = evm.transcriptLinesAfter(5);
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(evm.transcript()[0], "rx 1E 05 00 01 4C 13 44 00 C8");
    EXPECT_EQ(decodingOf(lines[0]), "bad checksum");
}

TEST(VirtualEvm, GarbageIsSkippedUpToTheNextFrame) {
    EvmProcess evm;
    Port port(evm.linkPath());
    port.send("AA 55 1F 01 00");
    expectNextAnswerIsTheProbes(port);
    const auto lines = evm.transcriptLinesAfter(5);
    // However the pty chunked it, the noise is logged as garbage, in front of the probe.
    std::string noise;
    size_t i = 0;
    for (; i < lines.size() && decodingOf(lines[i]) == "garbage"; ++i) {
        noise += (noise.empty() ? "" : " ") + evm.transcript()[i].substr(3);
    }
    EXPECT_EQ(noise, "AA 55 1F 01 00");
    ASSERT_LT(i, lines.size());
    EXPECT_EQ(decodingOf(lines[i]), "probe");
}

TEST(VirtualEvm, AStrayStartByteTimesOutAndTheRequestBehindItIsAnswered) {
    EvmProcess evm;
    Port port(evm.linkPath());
    port.send("1E");
    expectNextAnswerIsTheProbes(port);
    const auto traffic = evm.transcript();
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(traffic.front(), "rx 1E");
}

// ---------------------------------------------------------------------------------------------
// Faults

class SendsNothing : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(SendsNothing, AndTheNextRequestIsAnsweredNormally) {
    const auto [fault, carriedOut] = GetParam();
    EvmProcess evm;
    ASSERT_EQ(evm.control(std::string("fault ") + fault), "ok");
    Port port(evm.linkPath());
    port.send(frameOf("00 01 4C 13 44"));
    expectNextAnswerIsTheProbes(port);
    EXPECT_EQ(evm.control("get 0x13"), carriedOut ? "ok 0x44" : "ok 0x00");
    const auto lines = evm.transcriptLinesAfter(5);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(decodingOf(lines[0]),
              std::string("write ch=0 type=1 addr=0x4C reg=0x13 val=44 (") + fault + ")");
}

INSTANTIATE_TEST_SUITE_P(Faults, SendsNothing,
                         ::testing::Values(std::make_pair("silent", false),
                                           std::make_pair("no-ack", true)),
                         [](const auto& caseInfo) {
                             return std::string(caseInfo.param.first) == "silent" ? "silent"
                                                                                  : "noAck";
                         });

TEST(VirtualEvmFault, WrongAckComesInFrontOfTheReply) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault wrong-ack"), "ok");
    Port port(evm.linkPath());
    port.send(frameOf("10 01 4C 18 01 00"));
    const std::vector<uint8_t> answer = port.receive(12);
    ASSERT_EQ(answer.size(), 12u);
    EXPECT_EQ(hexOf(std::vector<uint8_t>(answer.begin(), answer.begin() + 2)), "1F 01");
    const std::vector<uint8_t> reply(answer.begin() + 2, answer.end());
    expectWellFormed(reply);
    EXPECT_EQ(reply[7], 0xFF);
    port.send("1F 00");
    expectNextAnswerIsTheProbes(port);
    const auto lines = evm.transcriptLinesAfter(3);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(decodingOf(lines[1]), "wrong-ack");
    EXPECT_EQ(decodingOf(lines[2]), "read-reply");
}

TEST(VirtualEvmFault, NoReplyAcknowledgesOnly) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault no-reply"), "ok");
    Port port(evm.linkPath());
    port.send(frameOf("10 01 4C 18 01 00"));
    EXPECT_EQ(hexOf(port.receive(2)), "1F 00");
    expectNextAnswerIsTheProbes(port);
}

TEST(VirtualEvmFault, GarbageTakesThePlaceOfTheAck) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault garbage"), "ok");
    Port port(evm.linkPath());
    port.send(frameOf("10 01 4C 18 01 00"));
    EXPECT_EQ(hexOf(port.receive(4)), "AA 55 AA 55");
    expectNextAnswerIsTheProbes(port);
}

TEST(VirtualEvmFault, PiecesArriveApart) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault pieces 3 100 150"), "ok");
    Port port(evm.linkPath());
    const auto sent = Clock::now();
    port.send(frameOf("10 01 4C 18 01 00"));
    EXPECT_EQ(hexOf(port.receive(2)), "1F 00");
    // Bytes 1-4, 5-7 and 8-10 are due 100, 250 and 400 ms after the board took the request, so
    // none arrives earlier than that after we sent it, however our reads split them.
    const auto dueOf = [](std::size_t byte) {
        return milliseconds(byte <= 4 ? 100 : byte <= 7 ? 250 : 400);
    };
    std::vector<uint8_t> reply;
    for (const auto& chunk : port.receiveChunks(10)) {
        reply.insert(reply.end(), chunk.bytes.begin(), chunk.bytes.end());
        EXPECT_GE(chunk.at - sent, dueOf(reply.size())) << "bytes up to " << reply.size();
    }
    ASSERT_EQ(reply.size(), 10u);
    expectWellFormed(reply);
    const auto lines = evm.transcriptLinesAfter(5);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(decodingOf(lines[2]), "piece 1/3 read-reply");
    EXPECT_EQ(decodingOf(lines[4]), "piece 3/3 read-reply");
    const auto traffic = evm.transcript();
    EXPECT_EQ(bytesOf(traffic[2].substr(3)).size(), 4u);
    EXPECT_EQ(bytesOf(traffic[3].substr(3)).size(), 3u);
    EXPECT_EQ(bytesOf(traffic[4].substr(3)).size(), 3u);
}

TEST(VirtualEvmFault, RequestsAreServedWhileAReplyIsLate) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault late 400"), "ok");
    Port port(evm.linkPath());
    const auto sent = Clock::now();
    port.send(frameOf("10 01 4C 18 01 00"));
    EXPECT_EQ(hexOf(port.receive(2)), "1F 00");
    // Not held up by the late reply: the probe's answer is next on the line, ahead of it.
    expectNextAnswerIsTheProbes(port);
    const std::vector<uint8_t> late = port.receive(10);
    EXPECT_GE(Clock::now() - sent, milliseconds(380));
    ASSERT_EQ(late.size(), 10u);
    expectWellFormed(late);
    EXPECT_EQ(late[7], 0xFF);
    const auto lines = evm.transcriptLinesAfter(7);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(decodingOf(lines[4]), "probe-reply");
    EXPECT_EQ(decodingOf(lines.back()), "late read-reply");
}

struct BabbleRun {
    const char* fault;
    const char* stop; // run before "idle"
    size_t first;     // bytes certain to come before it
};

TEST(VirtualEvmFault, BabbleRepeatsUntilSwitchedOffOrRunOut) {
    for (const BabbleRun& run :
         {BabbleRun{"babble 600000", "fault off", 64}, BabbleRun{"babble 200", "ping", 16}}) {
        EvmProcess evm;
        ASSERT_EQ(evm.control(std::string("fault ") + run.fault), "ok");
        Port port(evm.linkPath());
        port.send(frameOf("00 01 4C 13 44"));
        const std::vector<uint8_t> noise = port.receive(run.first);
        ASSERT_EQ(noise.size(), run.first);
        EXPECT_EQ(std::count(noise.begin(), noise.end(), 0xAA),
                  std::count(noise.begin(), noise.end(), 0x55));
        ASSERT_EQ(evm.control(run.stop), "ok");
        ASSERT_EQ(evm.control("idle"), "ok");
        const auto lines = evm.transcriptLines();
        const auto bursts = static_cast<size_t>(
            std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return decodingOf(line) == "babble"; }));
        ASSERT_EQ(bursts + 1, lines.size()) << "the request line, then babble only";
        evm.mark();
        EXPECT_EQ(port.receive(bursts * 16 - noise.size()).size(), bursts * 16 - noise.size());
        expectNextAnswerIsTheProbes(port);
        EXPECT_EQ(evm.transcriptAfter(4).size(), 4u) << "and no babble since";
    }
}

TEST(VirtualEvmFault, SplitReplyIsFinishedByTheNextRequest) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault split 4"), "ok");
    Port port(evm.linkPath());
    port.send(frameOf("10 01 4C 10 01 00"));
    EXPECT_EQ(hexOf(port.receive(6)), "1F 00 1E 06 10 01");
    port.send("1F 00"); // the PC gives up on the reply; its acknowledgement releases nothing
    evm.markAfter(4);
    port.send("1E 03 8F 00 FF 01 AF");
    EXPECT_EQ(hexOf(port.receive(15)), "10 01 00 C0 01 06 1F 00 1E 03 8F 00 00 00 B0");
    const auto lines = evm.transcriptLinesAfter(4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(decodingOf(lines[0]), "probe");
    EXPECT_EQ(decodingOf(lines[1]), "split 2/2 read-reply");
}

TEST(VirtualEvmFault, FromTheCommandLineWithAFilter) {
    EvmProcess evm({"--fault", "no-reply read always"});
    Port port(evm.linkPath());
    expectNextAnswerIsTheProbes(port); // probes pass
    for (int i = 0; i < 2; ++i) {
        port.send(frameOf("10 01 4C 18 01 00"));
        EXPECT_EQ(hexOf(port.receive(2)), "1F 00");
    }
    write(port, "00 01 4C 13 01");
    ASSERT_EQ(evm.control("fault off"), "ok");
    EXPECT_EQ(readOne(port, "10 01 4C 13 01 00"), 0x01);
}

// ---------------------------------------------------------------------------------------------
// The line itself

TEST(VirtualEvm, PcMayCloseAndReopenThePort) {
    EvmProcess evm;
    for (int i = 0; i < 3; ++i) {
        Port port(evm.linkPath());
        expectNextAnswerIsTheProbes(port);
    }
    EXPECT_EQ(evm.transcriptAfter(12).size(), 12u);
}

size_t openDescriptors(pid_t pid) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        ++count;
    }
    return count;
}

TEST(VirtualEvm, UnplugHangsUpThePcAndReplugComesBackElsewhere) {
    EvmProcess evm;
    Port port(evm.linkPath());
    expectNextAnswerIsTheProbes(port);
    ASSERT_EQ(evm.control("ping"), "ok"); // the control connection counts too
    const size_t descriptors = openDescriptors(evm.pid());

    ASSERT_EQ(evm.control("unplug"), "ok");
    pollfd pfd{port.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, kGuardMs), 1);
    EXPECT_NE(pfd.revents & (POLLHUP | POLLERR), 0) << pfd.revents;
    uint8_t byte = 0;
    const ssize_t n = ::read(port.fd(), &byte, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    EXPECT_FALSE(exists(evm.linkPath()));
    EXPECT_EQ(evm.control("unplug"), "error: already unplugged");
    EXPECT_EQ(evm.control("device"), "error: unplugged");

    ASSERT_EQ(evm.control("replug"), "ok");
    EXPECT_EQ(evm.control("replug"), "error: already plugged");
    EXPECT_EQ(evm.control("device"), "ok " + evm.devicePath());
    char target[256] = {};
    ASSERT_GT(::readlink(evm.linkPath().c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), evm.devicePath());
    Port again(evm.linkPath());
    expectNextAnswerIsTheProbes(again);
    // The registers survive the cable.
    EXPECT_EQ(readOne(again, "10 01 4C 10 01 00"), 0xC0);
    EXPECT_EQ(openDescriptors(evm.pid()), descriptors) << "the old pty is closed on both sides";
}

TEST(VirtualEvm, SigtermRemovesTheLinkAndTheSocket) {
    EvmProcess evm;
    ASSERT_TRUE(exists(evm.linkPath()));
    ASSERT_TRUE(exists(evm.controlPath()));
    EXPECT_EQ(evm.stop(), 0);
    EXPECT_FALSE(exists(evm.linkPath()));
    EXPECT_FALSE(exists(evm.controlPath()));
}

TEST(VirtualEvm, TranscriptLineFormat) {
    EvmProcess evm;
    Port port(evm.linkPath());
    expectNextAnswerIsTheProbes(port);
    write(port, "00 01 4C 13 0D");
    const auto lines = evm.transcriptLinesAfter(8);
    ASSERT_EQ(lines.size(), 8u);
    const std::regex format(R"(^(\d+\.\d{6}) (rx|tx) [0-9A-F]{2}( [0-9A-F]{2})* ; \S.*$)");
    double previous = 0;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, format)) << line;
        const double stamp = std::stod(match[1]);
        EXPECT_GE(stamp, previous);
        previous = stamp;
    }
    auto tail = [](const std::string& line) { return line.substr(line.find(' ') + 1); };
    EXPECT_EQ(tail(lines[0]), "rx 1E 03 8F 00 FF 01 AF ; probe");
    EXPECT_EQ(tail(lines[1]), "tx 1F 00 ; ack");
    EXPECT_EQ(tail(lines[2]), "tx 1E 03 8F 00 00 00 B0 ; probe-reply");
    EXPECT_EQ(tail(lines[3]), "rx 1F 00 ; ack");
    EXPECT_EQ(tail(lines[4]), "rx 1E 05 00 01 4C 13 0D 00 90 ; write ch=0 type=1 addr=0x4C "
                              "reg=0x13 val=0D");
    EXPECT_EQ(tail(lines[6]).substr(0, 9), "tx 1E 03 ");
    EXPECT_EQ(decodingOf(lines[6]), "write-reply");

    evm.mark();
    EXPECT_TRUE(evm.transcript().empty());
    EXPECT_EQ(readOne(port, "10 01 4C 13 01 00"), 0x0D);
    EXPECT_EQ(evm.transcriptAfter(4).size(), 4u);
}

// ---------------------------------------------------------------------------------------------
// Command line

struct ProgramRun {
    int exitCode = -1;
    std::string output;
};

ProgramRun runEvm(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) < 0) {
        return {};
    }
    std::vector<std::string> all = {VIRTUAL_EVM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ProgramRun run;
    if (spawned == 0) {
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            run.output.append(buffer, static_cast<size_t>(n));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(pipeFds[0]);
    return run;
}

class InvalidOption : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(InvalidOption, ExitsWithTwo) {
    const ProgramRun run = runEvm(GetParam());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.output, "") << "nothing on stdout, so no device line";
}

INSTANTIATE_TEST_SUITE_P(CommandLine, InvalidOption,
                         ::testing::Values(std::vector<std::string>{"--bogus"},
                                           std::vector<std::string>{"--link"},
                                           std::vector<std::string>{"--i2c-address", "80"},
                                           std::vector<std::string>{"--spi-device", "0x4"},
                                           std::vector<std::string>{"--zero", "-1"},
                                           std::vector<std::string>{"--fault", "pieces"},
                                           std::vector<std::string>{"extra"},
                                           std::vector<std::string>{"--send", "/tmp/x"}));

TEST(VirtualEvmCommandLine, SendTalksToARunningBoard) {
    EvmProcess evm;
    ProgramRun ok = runEvm({"--send", evm.controlPath(), "get", "0x10"});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.output, "ok 0xC0\n");

    ProgramRun set = runEvm({"--send", evm.controlPath(), "reg", "0x12", "0x7F"});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_EQ(evm.control("get 0x12"), "ok 0x7F");

    ProgramRun bad = runEvm({"--send", evm.controlPath(), "get", "0x20"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.output.rfind("error: ", 0), 0u) << bad.output;

    ProgramRun nobody = runEvm({"--send", evm.controlPath() + "-missing", "ping"});
    EXPECT_EQ(nobody.exitCode, 1);
}

TEST(VirtualEvmIdle, AnswersOnceTheLateReplyHasGoneOut) {
    EvmProcess evm;
    Port port(evm.linkPath());
    // Lines behind "idle" wait for its answer: an early unplug would drop the late reply.
    for (const char* line : {"idle", "idle\nunplug"}) {
        evm.mark();
        ASSERT_EQ(evm.control("fault late 300"), "ok");
        port.send(frameOf("10 01 4C 18 01 00"));
        ASSERT_EQ(hexOf(port.receive(2)), "1F 00");
        const ProgramRun run = runEvm({"--send", evm.controlPath(), line});
        EXPECT_EQ(run.output, "ok\n");
        const auto lines = evm.transcriptLines();
        ASSERT_EQ(lines.size(), 3u) << line;
        EXPECT_EQ(decodingOf(lines[2]), "late read-reply");
        if (std::string(line) == "idle") {
            EXPECT_EQ(port.receive(10).size(), 10u); // out of the way of the next round
        }
    }
    EXPECT_EQ(evm.control("device"), "error: unplugged");
}

// The process state letter in /proc ('T' while stopped), or 0.
TEST(VirtualEvmFault, AHeldLateReplyWaitsForRelease) {
    EvmProcess evm;
    ASSERT_EQ(evm.control("fault late held read"), "ok");
    EXPECT_EQ(evm.control("fault"), "ok late held read 1");
    Port port(evm.linkPath());
    port.send(frameOf("10 01 4C 18 01 00"));
    EXPECT_EQ(hexOf(port.receive(2)), "1F 00");
    // Nothing is due: the board answers other requests and has nothing pending for "idle".
    EXPECT_EQ(evm.control("idle"), "ok");
    expectNextAnswerIsTheProbes(port);
    EXPECT_EQ(evm.control("release"), "ok 1");
    const std::vector<uint8_t> late = port.receive(10);
    ASSERT_EQ(late.size(), 10u);
    expectWellFormed(late);
    EXPECT_EQ(decodingOf(evm.transcriptLinesAfter(1).back()), "late read-reply");
    EXPECT_EQ(evm.control("release"), "ok 0");
    EXPECT_EQ(evm.control("release now"), "error: usage: release");
}

} // namespace
