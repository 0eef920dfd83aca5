// The POSIX backend asks the driver for low latency when it opens a port and puts the driver's
// settings back when it closes it; a driver that refuses changes nothing.
#include "link/lowlatency.h"
#include "link/portopener.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

using namespace sundial;

namespace {

struct DriverLog {
    bool refuseGet = false;
    bool refuseSet = false;
    int flagsBefore = 0x1234;
    std::vector<int> setFlags; // the flags of every set, in order
};

DriverLog g_log;

int fakeGet(int, serial_struct* settings) {
    if (g_log.refuseGet) {
        return -1;
    }
    *settings = serial_struct{};
    settings->flags = g_log.flagsBefore;
    settings->type = 4;
    return 0;
}

int fakeSet(int, const serial_struct* settings) {
    g_log.setFlags.push_back(settings->flags);
    EXPECT_EQ(settings->type, 4) << "the rest of the settings goes back as it was read";
    return g_log.refuseSet ? -1 : 0;
}

class LowLatencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = serialDriverCalls();
        serialDriverCalls() = {&fakeGet, &fakeSet};
        g_log = {};
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(::grantpt(m_master), 0);
        ASSERT_EQ(::unlockpt(m_master), 0);
        ::setenv("SUNDIAL_PORTS", ::ptsname(m_master), 1);
    }
    void TearDown() override {
        serialDriverCalls() = m_saved;
        ::close(m_master);
        ::unsetenv("SUNDIAL_PORTS");
    }

    SerialDriverCalls m_saved{};
    int m_master = -1;
};

TEST_F(LowLatencyTest, RequestedAtOpenAndRestoredAtClose) {
    auto port = openBoardPort(1);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(g_log.setFlags, std::vector<int>{0x1234 | ASYNC_LOW_LATENCY});
    port->close();
    EXPECT_EQ(g_log.setFlags, (std::vector<int>{0x1234 | ASYNC_LOW_LATENCY, 0x1234}));
    port.reset();
    EXPECT_EQ(g_log.setFlags.size(), 2u) << "closed once";
}

TEST_F(LowLatencyTest, ARefusalLeavesThePortUsableAndNothingToRestore) {
    for (const bool refuseGet : {true, false}) {
        g_log = {};
        g_log.refuseGet = refuseGet;
        g_log.refuseSet = !refuseGet;
        auto port = openBoardPort(1);
        ASSERT_NE(port, nullptr) << "refuseGet " << refuseGet;
        const std::size_t attempts = g_log.setFlags.size();
        EXPECT_EQ(attempts, refuseGet ? 0u : 1u);
        EXPECT_NE(port->close(), 0);
        EXPECT_EQ(g_log.setFlags.size(), attempts) << "nothing put back that was not changed";
    }
}

} // namespace
