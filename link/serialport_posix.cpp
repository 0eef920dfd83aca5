// POSIX backend: termios in raw mode, with the Windows driver's read time-out rebuilt from
// poll(), so that the link behaves the same on both platforms.
#include "lowlatency.h"
#include "polldeadline.h"
#include "ports.h"
#include "serialport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sundial {

namespace {

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int realGetSerial(int fd, serial_struct* settings) {
    return ::ioctl(fd, TIOCGSERIAL, settings);
}

int realSetSerial(int fd, const serial_struct* settings) {
    return ::ioctl(fd, TIOCSSERIAL, settings);
}

constinit SerialDriverCalls g_driverCalls{&realGetSerial, &realSetSerial};

class PosixSerialPort final : public BoardPort {
public:
    PosixSerialPort(int fd, LowLatency latency, const termios& before)
        : m_fd(fd), m_latency(latency), m_before(before) {}
    ~PosixSerialPort() override { close(); }

    int read(std::span<std::uint8_t> buffer) override;
    bool write(std::span<const std::uint8_t> bytes) override;
    int readSoon(std::span<std::uint8_t> buffer, int waitMs) override;
    void purgeReceive() override { ::tcflush(m_fd, TCIFLUSH); }
    void drainReceive(int quietMs, int limitMs) override;
    int close() override;
    WaitHandle waitHandle() const override { return {m_fd, false}; }

private:
    int m_fd;
    LowLatency m_latency;
    termios m_before; // the line as the port had it when opened
};

int PosixSerialPort::read(std::span<std::uint8_t> buffer) {
    if (buffer.empty()) {
        return 0;
    }
    // Bytes already waiting come back at once. With VMIN = VTIME = 0 an empty queue reads as 0
    // rather than EAGAIN; both mean "nothing yet".
    ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
    if (got > 0) {
        return static_cast<int>(got);
    }
    if (got < 0 && !wouldBlock(errno)) {
        return -1;
    }
    got = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    while (static_cast<std::size_t>(got) < buffer.size()) {
        const int wait = msUntil(deadline);
        if (wait == 0) {
            break;
        }
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (ready == 0) {
            continue; // the deadline check above ends the loop
        }
        if ((pfd.revents & POLLIN) == 0) {
            return -1; // POLLHUP, POLLERR or POLLNVAL without data: the device went away
        }
        const auto offset = static_cast<std::size_t>(got);
        const ssize_t n = ::read(m_fd, buffer.data() + offset, buffer.size() - offset);
        if (n > 0) {
            got += n;
        } else if (n == 0 || !wouldBlock(errno)) {
            return -1; // readable but nothing to read: hung up
        }
    }
    return static_cast<int>(got);
}

int PosixSerialPort::readSoon(std::span<std::uint8_t> buffer, int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    bool readable = false;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n > 0) {
            return static_cast<int>(n);
        }
        if ((n < 0 && !wouldBlock(errno)) || (n == 0 && readable)) {
            return -1; // readable but nothing to read: hung up
        }
        const int wait = msUntil(deadline);
        if (wait == 0) {
            return 0;
        }
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR) {
            return -1;
        }
        if (ready > 0 && (pfd.revents & POLLIN) == 0) {
            return -1; // hung up
        }
        readable = ready > 0;
    }
}

void PosixSerialPort::drainReceive(int quietMs, int limitMs) {
    const auto limit = Clock::now() + std::chrono::milliseconds(limitMs);
    std::array<std::uint8_t, 256> scratch{};
    for (;;) {
        const int wait = std::min(quietMs, msUntil(limit));
        if (wait <= 0) {
            break; // babbling: give up on quiet, the flush below still empties the queue
        }
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (pfd.revents & POLLIN) == 0) {
            break; // quiet for the whole interval, or the device went away
        }
        const ssize_t n = ::read(m_fd, scratch.data(), scratch.size());
        if (n == 0 || (n < 0 && !wouldBlock(errno))) {
            break;
        }
    }
    ::tcflush(m_fd, TCIFLUSH);
}

bool PosixSerialPort::write(std::span<const std::uint8_t> bytes) {
    const auto deadline =
        Clock::now() +
        std::chrono::milliseconds(kWriteTimeoutPerByteMs * static_cast<long long>(bytes.size()) +
                                  kWriteTimeoutMs);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && !wouldBlock(errno)) {
            return false;
        }
        const int wait = msUntil(deadline);
        if (wait == 0) {
            return false;
        }
        pollfd pfd{m_fd, POLLOUT, 0};
        if (::poll(&pfd, 1, wait) < 0 && errno != EINTR) {
            return false;
        }
        if ((pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
    }
    return true;
}

int PosixSerialPort::close() {
    if (m_fd < 0) {
        return 0;
    }
    restoreLatency(m_fd, m_latency);
    // The line goes back as it was found: another program (a serial console, a terminal) may
    // rely on its own speed and modes. Output still queued goes out first.
    ::tcsetattr(m_fd, TCSADRAIN, &m_before);
    // Give up exclusive use explicitly: the flag lives with the device, and a device that stays
    // open elsewhere (a pseudo-terminal's other holder) would otherwise refuse our next open.
    ::ioctl(m_fd, TIOCNXCL);
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 ? 1 : 0;
}

bool setUpLine(int fd, termios& before) {
    if (::tcgetattr(fd, &before) != 0) {
        return false; // also how phantom ttyS nodes show themselves (EIO)
    }
    termios settings = before;
    // Raw, as a Windows port is by nature: no echo, no line editing, no CR/LF or XON/XOFF
    // handling. cfmakeraw leaves hardware flow control as the port had it.
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CSIZE | PARENB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, B115200) != 0 || ::cfsetospeed(&settings, B115200) != 0) {
        return false;
    }
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

std::unique_ptr<BoardPort> openSerialDevice(const std::string& path) {
    // A port another program holds by a lock file is as taken as one it holds by flock.
    if (path.empty() || uucpLockHolder(path) != 0) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    // Exclusive: flock keeps cooperating programs out, TIOCEXCL every other non-root opener.
    termios before{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0 ||
        !setUpLine(fd, before)) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return nullptr;
    }
    const LowLatency latency = requestLowLatency(fd);
    int dtr = TIOCM_DTR;
    ::ioctl(fd, TIOCMBIS, &dtr); // a pseudo-terminal answers ENOTTY; harmless
    return std::make_unique<PosixSerialPort>(fd, latency, before);
}

SerialDriverCalls& serialDriverCalls() {
    return g_driverCalls;
}

LowLatency requestLowLatency(int fd) {
    LowLatency saved;
    if (g_driverCalls.getSerial(fd, &saved.before) != 0) {
        return saved;
    }
    serial_struct wanted = saved.before;
    wanted.flags |= ASYNC_LOW_LATENCY;
    // A refusal is no failure: the port works, only later.
    saved.changed = g_driverCalls.setSerial(fd, &wanted) == 0;
    return saved;
}

void restoreLatency(int fd, const LowLatency& saved) {
    if (saved.changed) {
        g_driverCalls.setSerial(fd, &saved.before);
    }
}

} // namespace sundial
