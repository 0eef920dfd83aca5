// BSD sockets.
#include "netsocket.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace sundial::net {

namespace {

using Clock = std::chrono::steady_clock;

// An idle link finds out about a vanished server within about 5 + 3 x 2 seconds.
constexpr int kKeepIdleSeconds = 5;
constexpr int kKeepIntervalSeconds = 2;
constexpr int kKeepCount = 3;

int msUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

NetworkReach reachOf(int error) {
    switch (error) {
    case ECONNREFUSED:
        return NetworkReach::Refused;
    case ETIMEDOUT:
        return NetworkReach::TimedOut;
    default:
        return NetworkReach::Unreachable;
    }
}

void tune(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#if defined(TCP_QUICKACK)
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
#if defined(TCP_KEEPIDLE)
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds,
                 sizeof kKeepIntervalSeconds);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
#endif
}

// One address: Connected with the descriptor in `fd`, or why not.
NetworkReach connectOne(const addrinfo& address, Clock::time_point deadline, int& fd) {
    fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  address.ai_protocol);
    if (fd < 0) {
        return NetworkReach::Unreachable;
    }
    int error = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            error = ETIMEDOUT;
            for (;;) {
                const int wait = msUntil(deadline);
                pollfd pfd{fd, POLLOUT, 0};
                const int ready = wait > 0 ? ::poll(&pfd, 1, wait) : 0;
                if (ready < 0 && errno == EINTR) {
                    continue;
                }
                if (ready > 0) {
                    socklen_t size = sizeof error;
                    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
                        error = errno;
                    }
                }
                break;
            }
        }
    }
    if (error != 0) {
        ::close(fd);
        fd = -1;
        return reachOf(error);
    }
    tune(fd);
    return NetworkReach::Connected;
}

} // namespace

Connection connectTo(const PortUrl& url, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(url.port);
    if (::getaddrinfo(url.host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        return {kNoSocket, NetworkReach::UnknownHost};
    }
    // Of several addresses, the one that came nearest to a connection tells why none took it.
    Connection result{kNoSocket, NetworkReach::TimedOut};
    bool refused = false;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        if (msUntil(deadline) == 0) {
            break;
        }
        int fd = -1;
        const NetworkReach reach = connectOne(*address, deadline, fd);
        if (reach == NetworkReach::Connected) {
            result = {fd, reach};
            break;
        }
        refused = refused || reach == NetworkReach::Refused;
        result.reach = refused ? NetworkReach::Refused : reach;
    }
    ::freeaddrinfo(found);
    return result;
}

int receive(Socket socket, std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t n =
            ::recv(static_cast<int>(socket), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) {
#if defined(TCP_QUICKACK)
            // Acknowledge at once, every time (the kernel falls back to delayed ACKs on its
            // own): a server that sends a purge's acknowledgement and then the board's reply
            // as two small segments would otherwise hold the reply back for our delayed ACK,
            // up to 40 ms, under Nagle's algorithm on its side.
            const int on = 1;
            ::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
            return static_cast<int>(n);
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return 0;
        }
        // 0 bytes into a buffer that had room: the server closed the connection.
        return n == 0 && buffer.empty() ? 0 : -1;
    }
}

std::size_t pendingBytes(Socket socket) {
    int n = 0;
    return ::ioctl(static_cast<int>(socket), FIONREAD, &n) == 0 && n > 0
               ? static_cast<std::size_t>(n)
               : 0;
}

int sendSome(Socket socket, std::span<const std::uint8_t> bytes) {
    for (;;) {
        const ssize_t n = ::send(static_cast<int>(socket), bytes.data(), bytes.size(),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0) {
            return static_cast<int>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool waitReadable(std::span<const Socket> sockets, int waitMs) {
    std::vector<pollfd> fds;
    for (const Socket socket : sockets) {
        fds.push_back({static_cast<int>(socket), POLLIN, 0});
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), msUntil(deadline));
        if (ready >= 0 || errno != EINTR) {
            return ready > 0;
        }
    }
}

bool waitWritable(Socket socket, int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        pollfd pfd{static_cast<int>(socket), POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, msUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    }
}

void shutdownSending(Socket socket) {
    ::shutdown(static_cast<int>(socket), SHUT_WR);
}

void closeSocket(Socket socket) {
    if (socket != kNoSocket) {
        ::close(static_cast<int>(socket));
    }
}

} // namespace sundial::net
