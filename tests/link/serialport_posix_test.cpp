// The POSIX port backend against the virtual board: a silent line is a time-out, a device that
// went away a failed call, so that the link gives up at once instead of waiting out its reads.
#include "link/portopener.h"
#include "tests/support/evmprocess.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <span>
#include <termios.h>
#include <unistd.h>

namespace {

using testsupport::EvmProcess;

TEST(PosixSerialPort, AVanishedDeviceIsAFailedCallNotATimeOut) {
    EvmProcess evm;
    ::setenv("SUNDIAL_PORTS", evm.linkPath().c_str(), 1);
    const std::unique_ptr<sundial::BoardPort> port = sundial::openBoardPort(1);
    ASSERT_NE(port, nullptr);

    const std::array<std::uint8_t, 7> probe = {0x1E, 0x03, 0x8F, 0x00, 0xFF, 0x01, 0xAF};
    ASSERT_TRUE(port->write(probe));
    std::array<std::uint8_t, 9> answer{};
    std::size_t got = 0;
    while (got < answer.size()) {
        const int n = port->read(std::span(answer).subspan(got));
        ASSERT_GT(n, 0) << "after " << got << " bytes";
        got += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(answer[0], 0x1F);
    // Nothing more is coming: the call waits out its time and reports no bytes.
    std::array<std::uint8_t, 2> more{};
    EXPECT_EQ(port->read(more), 0);

    ASSERT_EQ(evm.control("unplug"), "ok");
    EXPECT_EQ(port->read(more), -1);
    EXPECT_FALSE(port->write(probe));
}

// A pseudo-terminal of the test's own, its slave set up as a terminal program would leave it.
class OwnTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(::grantpt(m_master), 0);
        ASSERT_EQ(::unlockpt(m_master), 0);
        m_path = ::ptsname(m_master);
        // Held open, as a serial console's other end would hold it.
        m_held = ::open(m_path.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(m_held, 0);
        termios cooked{};
        ASSERT_EQ(::tcgetattr(m_held, &cooked), 0);
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_iflag |= ICRNL | IXON;
        ::cfsetispeed(&cooked, B9600);
        ::cfsetospeed(&cooked, B9600);
        ASSERT_EQ(::tcsetattr(m_held, TCSANOW, &cooked), 0);
        ::setenv("SUNDIAL_PORTS", m_path.c_str(), 1);
    }
    void TearDown() override {
        ::close(m_held);
        ::close(m_master);
    }
    termios settings() const {
        termios now{};
        ::tcgetattr(m_held, &now);
        return now;
    }

    int m_master = -1;
    int m_held = -1;
    std::string m_path;
};

TEST_F(OwnTerminal, TheLineIsRawWhileOpenAndAsFoundAfterClose) {
    const termios before = settings();
    std::unique_ptr<sundial::BoardPort> port = sundial::openBoardPort(1);
    ASSERT_NE(port, nullptr);
    const termios open = settings();
    EXPECT_EQ(::cfgetospeed(&open), static_cast<speed_t>(B115200));
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(open.c_iflag & (ICRNL | IXON), 0u);

    EXPECT_NE(port->close(), 0);
    const termios after = settings();
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    // Exclusive use is given back: another program opens the device again.
    const int again = ::open(m_path.c_str(), O_RDWR | O_NOCTTY);
    EXPECT_GE(again, 0);
    ::close(again);
}

TEST_F(OwnTerminal, AShortReadReturnsWhatIsThereOrNothingAfterItsWait) {
    std::unique_ptr<sundial::BoardPort> port = sundial::openBoardPort(1);
    ASSERT_NE(port, nullptr);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(port->readSoon(buffer, 1), 0);
    ASSERT_EQ(::write(m_master, "\x1F\x00\x1E", 3), 3);
    int got = 0;
    while (got < 3) {
        const int n = port->readSoon(std::span(buffer).subspan(static_cast<std::size_t>(got)), 500);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(buffer[0], 0x1F);
    EXPECT_EQ(buffer[2], 0x1E);
}

} // namespace
