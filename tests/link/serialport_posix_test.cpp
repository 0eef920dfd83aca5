// The POSIX port backend against the virtual board: a silent line is a time-out, a device that
// went away a failed call, so that the link gives up at once instead of waiting out its reads.
#include "evmprocess.h"
#include "serialport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

using testsupport::EvmProcess;

TEST(PosixSerialPort, AVanishedDeviceIsAFailedCallNotATimeOut) {
    EvmProcess evm;
    ::setenv("SUNDIAL_PORTS", evm.linkPath().c_str(), 1);
    const std::unique_ptr<sundial::SerialPort> port = sundial::openSerialPort(1);
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

} // namespace
