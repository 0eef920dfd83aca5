// The built library against the virtual board on a pseudo-terminal: exact traffic, result
// codes under faults, the search and the port's line settings.
#include "linkcases.h"
#include "linuxbench.h"
#include "sundiallibrary.h"
#include "tests/support/evmprocess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <regex>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace linkcases {
void PrintTo(const Case& test, std::ostream* os) {
    *os << test.name;
}
} // namespace linkcases

using testsupport::EvmProcess;
using testsupport::LinuxBench;
using testsupport::SundialLibrary;

namespace {

constexpr SundialChannel kI2cTable[8] = {{1, 76}, {0, 0}, {0, 0}, {0, 0},
                                         {0, 0},  {0, 0}, {0, 0}, {3, 0}};
constexpr SundialChannel kSpiTable[8] = {{3, 0}, {0, 0}, {0, 0}, {0, 0},
                                         {0, 0}, {0, 0}, {0, 0}, {3, 0}};

void usePorts(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) {
        list += (list.empty() ? "" : ":") + path;
    }
    ::setenv("SUNDIAL_PORTS", list.c_str(), 1);
}

// The traffic of a successful _init with the I2C table: probe, then the eight set-ups.
std::vector<std::string> connectTraffic(const SundialChannel* table) {
    std::vector<std::string> lines = {"rx 1E 03 8F 00 FF 01 AF", "tx 1F 00"};
    // The probe reply's content is the board's business; only its place is checked below.
    lines.push_back("tx *");
    lines.push_back("rx 1F 00");
    for (int k = 0; k < 8; ++k) {
        const int type = table[k].type;
        const int sum = 0x1E + 0x03 + 0x50 + k + type;
        char line[64];
        std::snprintf(line, sizeof line, "rx 1E 03 %02X 00 %02X %02X %02X", 0x50 + k, type,
                      sum >> 8, sum & 0xFF);
        lines.push_back(line);
        lines.push_back("tx 1F 00");
    }
    return lines;
}

void expectTraffic(const std::vector<std::string>& actual,
                   const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size()) << ::testing::PrintToString(actual);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == "tx *") {
            EXPECT_EQ(actual[i].rfind("tx 1E 03 ", 0), 0u) << i << ": " << actual[i];
            EXPECT_EQ(actual[i].size(), std::string("tx 1E 03 00 00 00 00 00").size());
        } else {
            EXPECT_EQ(actual[i], expected[i]) << "line " << i;
        }
    }
}

class SundialEndToEnd : public ::testing::Test {
protected:
    // Connects the library to `evm` as port 1 and forgets the connection's traffic.
    void connect(EvmProcess& evm, const SundialChannel* table = kI2cTable) {
        usePorts({evm.linkPath()});
        ASSERT_EQ(m_lib.init(0, table), 1);
        evm.transcriptAfter(20);
        evm.mark();
    }

    SundialLibrary m_lib;
};

TEST_F(SundialEndToEnd, SearchSkipsMissingAndUnusablePortsAndSetsUpEveryChannel) {
    EvmProcess evm;
    const std::string plainFile = ::testing::TempDir() + "sundial-not-a-tty";
    std::ofstream(plainFile) << "x";
    usePorts({"/nonexistent/ttyX", "", plainFile, evm.linkPath()});

    EXPECT_EQ(m_lib.init(0, kI2cTable), 4);
    expectTraffic(evm.transcriptAfter(20), connectTraffic(kI2cTable));
    std::remove(plainFile.c_str());
}

TEST_F(SundialEndToEnd, SearchClosesASilentPortAndGoesOn) {
    EvmProcess silent({"--fault", "silent always"});
    EvmProcess board;
    usePorts({silent.linkPath(), board.linkPath()});

    EXPECT_EQ(m_lib.init(0, kSpiTable), 2);
    EXPECT_EQ(silent.transcript(), (std::vector<std::string>{"rx 1E 03 8F 00 FF 01 AF"}));
    expectTraffic(board.transcriptAfter(20), connectTraffic(kSpiTable));

    // Released: a cooperating program may take the silent port now.
    const int fd = ::open(silent.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(SundialEndToEnd, NoBoardMeansZeroAndNoPortOpen) {
    usePorts({"/nonexistent/a", "/nonexistent/b"});
    EXPECT_EQ(m_lib.init(0, kI2cTable), 0);
    EXPECT_EQ(m_lib.close(), 0);
    std::uint8_t value = 0;
    EXPECT_EQ(m_lib.readData(0, 0x10, &value, 1), 1);
    EXPECT_EQ(m_lib.writeData(0, 0x10, &value, 1), 1);
}

TEST_F(SundialEndToEnd, SinglePortTouchesOnlyThatPort) {
    EvmProcess other;
    EvmProcess board;
    usePorts({other.linkPath(), board.linkPath()});
    EXPECT_EQ(m_lib.init(2, kI2cTable), 2);
    expectTraffic(board.transcriptAfter(20), connectTraffic(kI2cTable));
    EXPECT_TRUE(other.transcript().empty());

    EXPECT_EQ(m_lib.close(), 1);
    EXPECT_EQ(m_lib.init(3, kI2cTable), 0); // a number beyond the list has no device
}

TEST_F(SundialEndToEnd, MinusOneKeepsTheLinkAndTakesTheNewTable) {
    EvmProcess evm;
    connect(evm, kI2cTable);
    EXPECT_EQ(m_lib.init(-1, kSpiTable), -1);
    std::uint8_t value = 0;
    EXPECT_EQ(m_lib.readData(0, 0x10, &value, 1), 0);
    const auto traffic = evm.transcriptAfter(4);
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(traffic.front(), "rx 1E 06 10 03 90 90 01 00 01 58");
    EXPECT_EQ(value, 0xC0);
}

TEST_F(SundialEndToEnd, CodecWriteAndReadOverI2c) {
    EvmProcess evm;
    connect(evm, kI2cTable);

    const std::uint8_t value = 0x55;
    EXPECT_EQ(m_lib.writeData(0, 0x12, &value, 1), 0);
    const auto write = evm.transcriptAfter(4);
    ASSERT_EQ(write.size(), 4u);
    EXPECT_EQ(write[0], "rx 1E 05 00 01 4C 12 55 00 D7");
    EXPECT_EQ(write[1], "tx 1F 00");
    EXPECT_EQ(write[2].size(), std::string("tx 1E 03 00 00 00 00 00").size());
    EXPECT_EQ(write[3], "rx 1F 00");
    EXPECT_EQ(evm.control("get 0x12"), "ok 0x55");

    evm.mark();
    std::uint8_t read = 0;
    EXPECT_EQ(m_lib.readData(0, 0x12, &read, 1), 0);
    EXPECT_EQ(read, 0x55);
    const auto traffic = evm.transcriptAfter(4);
    ASSERT_EQ(traffic.size(), 4u);
    EXPECT_EQ(traffic[0], "rx 1E 06 10 01 4C 12 01 00 00 94");
    EXPECT_EQ(traffic[1], "tx 1F 00");
    EXPECT_EQ(traffic[2].size(), std::string("tx").size() + 10 * 3);
    EXPECT_EQ(traffic[3], "rx 1F 00");
}

TEST_F(SundialEndToEnd, ExactFramesOfTheReferenceTransactions) {
    EvmProcess evm;
    connect(evm, kI2cTable);
    const std::uint8_t v55 = 0x55;
    const std::uint8_t v01 = 0x01;
    std::uint8_t read = 0;
    EXPECT_EQ(m_lib.writeData(0, 0x10, &v55, 1), 0);
    EXPECT_EQ(m_lib.readData(0, 0x10, &read, 1), 0);
    EXPECT_EQ(m_lib.writeData(7, 0x37, &v01, 1), 0);
    const auto traffic = evm.transcriptAfter(12);
    ASSERT_EQ(traffic.size(), 12u);
    EXPECT_EQ(traffic[0], "rx 1E 05 00 01 4C 10 55 00 D5");
    EXPECT_EQ(traffic[4], "rx 1E 06 10 01 4C 10 01 00 00 92");
    EXPECT_EQ(traffic[8], "rx 1E 06 07 03 37 37 00 01 00 9D");
    EXPECT_EQ(evm.control("get-board 0x37"), "ok 0x01");
    // 0x55 has bit 7 clear: the codec reset itself, so register 0x10 reads its default.
    EXPECT_EQ(read, 0xC0);
}

TEST_F(SundialEndToEnd, SpiDeviceBitsTravelInTheRegisterAddress) {
    EvmProcess evm({"--spi-device", "2"});
    connect(evm, kSpiTable);
    const std::uint8_t value = 0x80;
    EXPECT_EQ(m_lib.writeData(0, 0x56, &value, 1), 0);
    EXPECT_EQ(evm.transcriptAfter(1).front(), "rx 1E 06 00 03 56 56 00 80 01 53");
    EXPECT_EQ(evm.control("get 0x16"), "ok 0x80");
    std::uint8_t read = 0;
    EXPECT_EQ(m_lib.readData(0, 0x56, &read, 1), 0);
    EXPECT_EQ(read, 0x80);
}

TEST_F(SundialEndToEnd, ManyRegistersInOneTransaction) {
    EvmProcess evm;
    connect(evm, kI2cTable);
    ASSERT_EQ(evm.control("zero 3"), "ok");
    std::uint8_t values[10] = {};
    EXPECT_EQ(m_lib.readData(0, 0x10, values, 10), 0);
    const std::uint8_t defaults[10] = {0xC0, 0, 0, 0, 0, 0x03, 0, 0, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<std::uint8_t>(values, values + 10),
              std::vector<std::uint8_t>(defaults, defaults + 10));
}

TEST_F(SundialEndToEnd, UnpluggedBoardFailsAtOnceAndIsFoundAgainAfterReplug) {
    EvmProcess evm;
    connect(evm, kI2cTable);
    ASSERT_EQ(evm.control("unplug"), "ok");

    // That this fails at once rather than after three time-outs is the port backend's part
    // (PosixSerialPort.AVanishedDeviceIsAFailedCallNotATimeOut) and the link's
    // (BoardLinkTest.AFailedReadCallEndsTheWaitAtOnce), checked there without a clock.
    std::uint8_t value = 0;
    EXPECT_NE(m_lib.readData(0, 0x10, &value, 1), 0);
    EXPECT_NE(m_lib.writeData(0, 0x10, &value, 1), 0);

    ASSERT_EQ(evm.control("replug"), "ok");
    EXPECT_NE(m_lib.close(), 0);
    EXPECT_EQ(m_lib.init(0, kI2cTable), 1);
    EXPECT_EQ(m_lib.readData(0, 0x18, &value, 1), 0);
    EXPECT_EQ(value, 0xFF);
}

// A trace line: time, kind, bytes and what they are.
struct TraceLine {
    double ms = 0;
    std::string kind;
    std::string bytes;
    std::string what;
};

std::vector<TraceLine> readTrace(const std::string& path) {
    static const std::regex kLine(
        R"(^(-?[0-9]+\.[0-9]{3}) (tx|rx|skip|call)((?: [0-9A-F]{2})*) ; (.+)$)");
    std::vector<TraceLine> lines;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(text, match, kLine)) << text;
        if (!match.empty()) {
            lines.push_back({std::stod(match[1]), match[2],
                             match[3].str().empty() ? "" : match[3].str().substr(1), match[4]});
        }
    }
    return lines;
}

// The trace of a start-up, writes, reads and a read whose reply comes with a bad checksum (the
// next call getting back in step) holds the frames of the board's transcript of the same run, in
// the same order and seen from the other end, at times that only go forward, and the result of
// every call.
TEST_F(SundialEndToEnd, TheTraceHoldsTheBoardsTranscriptAndEveryResult) {
    EvmProcess evm;
    const std::string path = ::testing::TempDir() + "sundial-trace-e2e.txt";
    std::remove(path.c_str());
    ::setenv("SUNDIAL_TRACE", path.c_str(), 1);
    usePorts({evm.linkPath()});
    ASSERT_EQ(m_lib.init(0, kI2cTable), 1);
    ::unsetenv("SUNDIAL_TRACE");
    const std::uint8_t value = 0x55;
    std::uint8_t read = 0;
    EXPECT_EQ(m_lib.writeData(0, 0x12, &value, 1), 0);
    EXPECT_EQ(m_lib.readData(0, 0x12, &read, 1), 0);
    EXPECT_EQ(evm.control("fault bad-sum read"), "ok");
    EXPECT_EQ(m_lib.readData(0, 0x12, &read, 1), 4);
    EXPECT_EQ(m_lib.readData(0, 0x12, &read, 1), 0);
    EXPECT_EQ(m_lib.close(), 1);

    const std::vector<TraceLine> trace = readTrace(path);
    std::vector<std::string> frames;
    std::vector<std::string> calls;
    double last = 0;
    for (const TraceLine& line : trace) {
        EXPECT_GE(line.ms, last) << line.what;
        last = line.ms;
        if (line.kind == "call") {
            calls.push_back(line.what.substr(0, line.what.find(" ms=")));
        } else if (!line.bytes.empty()) {
            // What the library sent, the board received, and the other way round.
            frames.push_back((line.kind == "tx" ? "rx " : "tx ") + line.bytes);
        }
    }
    EXPECT_EQ(evm.transcriptAfter(frames.size()), frames);
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "_init port=0 result=1",
                         "_writeData ch=0 reg=0x12 count=1 result=0",
                         "_readData ch=0 reg=0x12 count=1 result=0",
                         "_readData ch=0 reg=0x12 count=1 result=4",
                         "_readData ch=0 reg=0x12 count=1 result=0",
                         "_close result=1",
                     }));
    std::remove(path.c_str());
}

TEST_F(SundialEndToEnd, RejectedCallsSendNothing) {
    EvmProcess evm;
    SundialChannel table[8] = {{1, 76}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {9, 0}, {3, 0}};
    connect(evm, table);
    std::vector<std::uint8_t> buffer(300, 0x11);
    EXPECT_EQ(m_lib.readData(0, 0x10, buffer.data(), 0), 1);
    EXPECT_EQ(m_lib.readData(0, 0x10, buffer.data(), 256), 1);
    EXPECT_EQ(m_lib.readData(0, 0x10, nullptr, 1), 1);
    EXPECT_EQ(m_lib.readData(8, 0x10, buffer.data(), 1), 1);
    EXPECT_EQ(m_lib.readData(-1, 0x10, buffer.data(), 1), 1);
    EXPECT_EQ(m_lib.readData(1, 0x10, buffer.data(), 1), 1); // type 0
    EXPECT_EQ(m_lib.readData(6, 0x10, buffer.data(), 1), 1); // type 9
    EXPECT_EQ(m_lib.writeData(0, 0x10, buffer.data(), 0), 1);
    EXPECT_EQ(m_lib.writeData(0, 0x10, buffer.data(), 252), 1);
    EXPECT_EQ(m_lib.writeData(7, 0x10, buffer.data(), 251), 1);
    EXPECT_EQ(m_lib.writeData(0, 0x10, nullptr, 1), 1);
    EXPECT_EQ(m_lib.writeData(1, 0x10, buffer.data(), 1), 1);
    // Still connected, and the longest legal write goes out whole.
    std::fill(buffer.begin(), buffer.end(), 0x00);
    EXPECT_EQ(m_lib.writeData(7, 0x00, buffer.data(), 250), 0);
    const auto traffic = evm.transcriptAfter(4);
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(traffic.front().rfind("rx 1E FF 07 03 00 F9 00 00", 0), 0u);
    EXPECT_EQ(traffic.front().size(), std::string("rx").size() + 259 * 3);
}

TEST_F(SundialEndToEnd, PortIsExclusiveRawAndAt115200) {
    EvmProcess evm;
    connect(evm, kI2cTable);

    const int fd = ::open(evm.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) { // root passes TIOCEXCL; flock still keeps us out
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(errno, EWOULDBLOCK);
        termios line{};
        ASSERT_EQ(::tcgetattr(fd, &line), 0);
        EXPECT_EQ(::cfgetospeed(&line), B115200);
        EXPECT_EQ(::cfgetispeed(&line), B115200);
        EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR), 0u);
        EXPECT_EQ(line.c_oflag & OPOST, 0u);
        ::close(fd);
    } else {
        EXPECT_EQ(errno, EBUSY);
    }

    EXPECT_EQ(m_lib.close(), 1);
    const int after = ::open(evm.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(after, 0) << "the port is free again after _close";
    EXPECT_EQ(::flock(after, LOCK_EX | LOCK_NB), 0);
    ::close(after);
}

// The shared table, also run against the Windows build under Wine.
class LinkTable : public ::testing::TestWithParam<linkcases::Case> {};

TEST_P(LinkTable, OnLinux) {
    SundialLibrary library;
    const linkcases::Entries entries{library.init, library.close, library.readData,
                                     library.writeData, library.getVer};
    LinuxBench bench;
    for (const std::string& failure : linkcases::run(GetParam(), entries, bench)) {
        ADD_FAILURE() << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(Link, LinkTable, ::testing::ValuesIn(linkcases::cases()),
                         [](const auto& caseInfo) { return caseInfo.param.name; });

} // namespace
