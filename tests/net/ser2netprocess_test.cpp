// The ser2net fixture itself, with the virtual board behind it and plain sockets in front: the
// board's bytes through a raw port, one client at a time. Stopping, pausing and restarting the
// server are exercised by the link's own tests through it.
#include "tests/support/evmprocess.h"
#include "tests/support/hexbytes.h"
#include "tests/support/ser2netprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::EvmProcess;
using testsupport::hexOf;
using testsupport::Ser2netProcess;

constexpr int kGuardMs = 10000; // a guard against a hang, not a margin
const std::vector<uint8_t> kProbe = {0x1E, 0x03, 0x8F, 0x00, 0xFF, 0x01, 0xAF};
constexpr const char* kProbeAnswer = "1F 00 1E 03 8F 00 00 00 B0"; // ack, then the reply

class Connection {
public:
    // Connects to 127.0.0.1:port; fd() is -1 and error() the reason when that fails.
    explicit Connection(int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            m_error = errno;
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Connection() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int fd() const { return m_fd; }
    int error() const { return m_error; }

    bool send(const std::vector<uint8_t>& bytes) const {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Bytes until `count` came, the peer closed, or the guard ran out.
    std::vector<uint8_t> receive(std::size_t count = SIZE_MAX) const {
        std::vector<uint8_t> bytes;
        while (bytes.size() < count) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, kGuardMs) <= 0) {
                break;
            }
            uint8_t chunk[256];
            const ssize_t n = ::recv(m_fd, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

private:
    int m_fd = -1;
    int m_error = 0;
};

std::string text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(Ser2netProcessTest, RawPortCarriesTheBoardsBytesToOneClientAtATime) {
    EvmProcess board;
    Ser2netProcess server({{board.linkPath(), Ser2netProcess::Kind::Raw}});
    EXPECT_EQ(server.url(0), "tcp://127.0.0.1:" + std::to_string(server.port(0)));

    Connection client(server.port(0));
    ASSERT_GE(client.fd(), 0) << server.output();
    ASSERT_TRUE(client.send(kProbe));
    EXPECT_EQ(hexOf(client.receive(9)), kProbeAnswer);

    Connection second(server.port(0));
    ASSERT_GE(second.fd(), 0);
    EXPECT_EQ(text(second.receive()), "Port already in use\r\n"); // then the end
}

} // namespace
