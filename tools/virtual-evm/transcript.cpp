#include "transcript.h"

#include "protocol.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace virtualevm {

Transcript::~Transcript() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void Transcript::open(const std::string& path, Clock::time_point start) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot open log " + path + ": " + std::strerror(errno));
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    m_start = start;
}

std::string Transcript::format(const Event& event, double seconds) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", seconds);
    std::string line = stamp;
    line += event.direction == Event::Direction::Rx ? " rx " : " tx ";
    line += hexBytes(event.bytes);
    line += " ; ";
    line += event.text;
    line += '\n';
    return line;
}

void Transcript::write(const Event& event, Clock::time_point now) {
    if (m_fd < 0) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const std::string line = format(event, seconds);
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A full disk must not stop the board from answering.
            return;
        }
        done += static_cast<size_t>(n);
    }
}

} // namespace virtualevm
