// The search's wait for input on several ports (POSIX): it ends as soon as any one of them has
// input or has hung up, and reads nothing.
#include "link/inputwait.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace sundial;

namespace {

// Only a wait handle: the wait must not call anything else.
class HandleOnly final : public BoardPort {
public:
    explicit HandleOnly(int fd) : m_fd(fd) {}
    int read(std::span<std::uint8_t>) override { return fail(); }
    int readSoon(std::span<std::uint8_t>, int) override { return fail(); }
    bool write(std::span<const std::uint8_t>) override { return fail() == 0; }
    void purgeReceive() override { fail(); }
    void drainReceive(int, int) override { fail(); }
    int close() override { return fail(); }
    WaitHandle waitHandle() const override { return {m_fd, false}; }

private:
    static int fail() {
        ADD_FAILURE() << "the wait used the port";
        return -1;
    }
    int m_fd;
};

// A wait so long that returning within it can only mean that input ended it.
constexpr int kLongWaitMs = 60'000;

TEST(InputWait, EndsOnInputOrHangUpOfAnyPortAndReadsNothing) {
    const struct {
        const char* what;
        int sending; // the port whose far end sends a byte, or -1
        int hangsUp; // the port whose far end closes, or -1
        int waitMs;
    } cases[] = {
        {"first of three has input", 0, -1, kLongWaitMs},
        {"last of three has input", 2, -1, kLongWaitMs},
        {"middle one hung up", -1, 1, kLongWaitMs},
        {"nothing, no wait", -1, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::array<std::array<int, 2>, 3> pairs{};
        std::vector<HandleOnly> ports;
        for (auto& ends : pairs) {
            ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends.data()), 0);
            ports.emplace_back(ends[0]);
        }
        std::vector<BoardPort*> waitedOn;
        for (HandleOnly& port : ports) {
            waitedOn.push_back(&port);
        }
        const std::uint8_t byte = 0x1F;
        if (c.sending >= 0) {
            ASSERT_EQ(::write(pairs[static_cast<std::size_t>(c.sending)][1], &byte, 1), 1);
        }
        if (c.hangsUp >= 0) {
            ::close(pairs[static_cast<std::size_t>(c.hangsUp)][1]);
            pairs[static_cast<std::size_t>(c.hangsUp)][1] = -1;
        }
        const auto start = std::chrono::steady_clock::now();
        waitForInput(waitedOn, c.waitMs);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongWaitMs))
            << "the wait ran to its end";
        if (c.sending >= 0) {
            std::uint8_t got = 0;
            EXPECT_EQ(::recv(pairs[static_cast<std::size_t>(c.sending)][0], &got, 1, MSG_DONTWAIT),
                      1)
                << "the byte was read";
            EXPECT_EQ(got, byte);
        }
        for (const auto& ends : pairs) {
            for (const int fd : ends) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
    }
}

} // namespace
