#include "pseudoterminal.h"
#include "fdcalls.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace virtualevm {

PseudoTerminal::PseudoTerminal(std::string linkPath) : m_linkPath(std::move(linkPath)) {}

PseudoTerminal::~PseudoTerminal() {
    closeFd(m_master);
    closeFd(m_slave);
    removeLink();
}

void PseudoTerminal::plug() {
    openPty();
    pointLink();
}

void PseudoTerminal::openPty() {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        fail("posix_openpt");
    }
    char name[128];
    if (::fcntl(master, F_SETFD, FD_CLOEXEC) < 0 ||
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) < 0 ||
        ::grantpt(master) < 0 || ::unlockpt(master) < 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const int saved = errno;
        ::close(master);
        errno = saved;
        fail("pty set-up");
    }
    // Our own slave descriptor keeps the pty alive while the PC closes and reopens the port;
    // without it the master reads EIO and the line discipline hangs up.
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios line{};
    if (slave < 0 || ::tcgetattr(slave, &line) < 0) {
        const int saved = errno;
        ::close(master);
        if (slave >= 0) {
            ::close(slave);
        }
        errno = saved;
        fail(std::string("open ") + name);
    }
    // Raw before anyone can see the device: a fresh pty echoes and rewrites CR/LF.
    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    ::cfsetispeed(&line, B115200);
    ::cfsetospeed(&line, B115200);
    if (::tcsetattr(slave, TCSANOW, &line) < 0) {
        const int saved = errno;
        ::close(master);
        ::close(slave);
        errno = saved;
        fail("tcsetattr");
    }
    m_master = master;
    m_slave = slave;
    m_devicePath = name;
}

void PseudoTerminal::unplug() {
    closeFd(m_master);
    closeFd(m_slave);
    removeLink();
    m_devicePath.clear();
    m_output.clear();
}

void PseudoTerminal::pointLink() {
    if (m_linkPath.empty()) {
        return;
    }
    // A temporary link renamed over the old one: whoever opens the path sees one device or the
    // other, never a missing file.
    const std::string temp = m_linkPath + ".tmp." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(m_devicePath.c_str(), temp.c_str()) < 0) {
        fail("symlink " + temp);
    }
    if (::rename(temp.c_str(), m_linkPath.c_str()) < 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail("rename to " + m_linkPath);
    }
    m_linkMade = true;
}

void PseudoTerminal::removeLink() {
    if (m_linkMade) {
        ::unlink(m_linkPath.c_str());
        m_linkMade = false;
    }
}

std::optional<std::span<const uint8_t>> PseudoTerminal::read() {
    const ssize_t n = ::read(m_master, m_input.data(), m_input.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return std::span<const uint8_t>();
    }
    if (n <= 0) {
        // Cannot happen while our own slave descriptor is open; do not spin on it if it does.
        std::fprintf(stderr, "virtual-evm: pty read failed (%s); unplugged\n",
                     n == 0 ? "end of file" : std::strerror(errno));
        return std::nullopt;
    }
    return std::span<const uint8_t>(m_input.data(), static_cast<size_t>(n));
}

void PseudoTerminal::queue(std::span<const uint8_t> bytes) {
    if (m_output.size() < kMaxOutput) {
        m_output.insert(m_output.end(), bytes.begin(), bytes.end());
    }
}

void PseudoTerminal::flush() {
    size_t done = 0;
    while (m_master >= 0 && done < m_output.size()) {
        const ssize_t n = ::write(m_master, m_output.data() + done, m_output.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break; // the PC is not reading; POLLOUT brings us back
        } else {
            done = m_output.size();
        }
    }
    m_output.erase(m_output.begin(), m_output.begin() + static_cast<std::ptrdiff_t>(done));
}

} // namespace virtualevm
