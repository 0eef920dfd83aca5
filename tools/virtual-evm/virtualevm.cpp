#include "virtualevm.h"

#include "protocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

namespace virtualevm {

namespace {

// A frame left unfinished this long is noise: the PC writes each frame in one call.
constexpr auto kPartialTimeout = std::chrono::milliseconds(250);
// Output the PC does not read is dropped beyond this, rather than growing without bound.
constexpr size_t kMaxOutput = 1 << 20;
constexpr size_t kMaxCommandLine = 4096;
// Often enough that a PC reading in its usual slices never finds the line quiet.
constexpr auto kBabbleGap = std::chrono::milliseconds(2);

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

sockaddr_un socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

} // namespace

VirtualEvm::VirtualEvm(EvmOptions options) : m_options(std::move(options)), m_start(Clock::now()) {
    EvmBoard& board = m_session.board();
    board.setI2cAddress(m_options.i2cAddress);
    board.setSpiDevice(m_options.spiDevice);
    board.codec().setZeroFlags(m_options.zeroFlags);
    if (m_options.fault) {
        m_session.faults().arm(*m_options.fault);
    }
}

VirtualEvm::~VirtualEvm() {
    for (Client& client : m_clients) {
        closeFd(client.fd);
    }
    closeFd(m_listen);
    if (m_socketMade) {
        ::unlink(m_options.controlPath.c_str());
    }
    closeFd(m_master);
    closeFd(m_slave);
    removeLink();
}

void VirtualEvm::start() {
    if (!m_options.logPath.empty()) {
        m_transcript.open(m_options.logPath, m_start);
    }
    plug();
    pointLink();
    openControl();
    announceDevice();
}

void VirtualEvm::plug() {
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

void VirtualEvm::unplug() {
    closeFd(m_master);
    closeFd(m_slave);
    removeLink();
    m_devicePath.clear();
    m_output.clear();
    m_timers.clear();
    m_stalledUntil.reset();
    m_held.clear();
    m_babble.reset();
    m_session.resetLine();
}

void VirtualEvm::pointLink() {
    if (m_options.linkPath.empty()) {
        return;
    }
    // A temporary link renamed over the old one: whoever opens the path sees one device or the
    // other, never a missing file.
    const std::string temp = m_options.linkPath + ".tmp." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(m_devicePath.c_str(), temp.c_str()) < 0) {
        fail("symlink " + temp);
    }
    if (::rename(temp.c_str(), m_options.linkPath.c_str()) < 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail("rename to " + m_options.linkPath);
    }
    m_linkMade = true;
}

void VirtualEvm::removeLink() {
    if (m_linkMade) {
        ::unlink(m_options.linkPath.c_str());
        m_linkMade = false;
    }
}

void VirtualEvm::openControl() {
    if (m_options.controlPath.empty()) {
        return;
    }
    const std::string& path = m_options.controlPath;
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        throw std::runtime_error("control socket path too long: " + path);
    }
    const sockaddr_un address = socketAddress(path);
    const auto* generic = reinterpret_cast<const sockaddr*>(&address);

    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            throw std::runtime_error("control path exists and is not a socket: " + path);
        }
        // A leftover from a killed run is removed; a live one is not ours to take.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live = probe >= 0 && ::connect(probe, generic, sizeof address) == 0;
        if (probe >= 0) {
            ::close(probe);
        }
        if (live) {
            throw std::runtime_error("control socket in use: " + path);
        }
        ::unlink(path.c_str());
    }

    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        fail("socket");
    }
    if (::bind(m_listen, generic, sizeof address) < 0) {
        fail("bind " + path);
    }
    m_socketMade = true;
    if (::listen(m_listen, 16) < 0) {
        fail("listen " + path);
    }
}

void VirtualEvm::announceDevice() const {
    std::printf("%s\n", m_devicePath.c_str());
    std::fflush(stdout);
}

void VirtualEvm::run(int signalFd) {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back(pollfd{signalFd, POLLIN, 0});
        const int masterEvents = POLLIN | (m_output.empty() ? 0 : POLLOUT);
        const size_t masterIndex = fds.size();
        if (m_master >= 0) {
            fds.push_back(pollfd{m_master, static_cast<short>(masterEvents), 0});
        }
        const size_t listenIndex = fds.size();
        if (m_listen >= 0) {
            fds.push_back(pollfd{m_listen, POLLIN, 0});
        }
        const size_t clientIndex = fds.size();
        // A client waiting on "idle" is not read from: its next lines must wait anyway.
        bool idleDue = false;
        for (const Client& client : m_clients) {
            fds.push_back(
                pollfd{client.fd, static_cast<short>(client.waitingIdle ? 0 : POLLIN), 0});
            idleDue = idleDue || (client.waitingIdle && idle());
        }

        std::optional<Clock::time_point> deadline;
        const auto sooner = [&deadline](Clock::time_point when) {
            deadline = deadline ? std::min(*deadline, when) : when;
        };
        if (!m_timers.empty()) {
            sooner(m_timers.begin()->first);
        }
        if (m_babble) {
            sooner(m_babble->next);
        }
        if (m_session.hasPartial()) {
            sooner(m_lastInput + kPartialTimeout);
        }
        if (idleDue) {
            // Another client's command (unplug, fault off) made the board idle after this
            // client was looked at.
            sooner(Clock::now());
        }
        timespec wait{};
        timespec* waitPointer = nullptr;
        if (deadline) {
            const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = static_cast<time_t>(ns / 1000000000);
            wait.tv_nsec = static_cast<long>(ns % 1000000000);
            waitPointer = &wait;
        }

        if (::ppoll(fds.data(), fds.size(), waitPointer, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("ppoll");
        }
        if (fds[0].revents != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] const ssize_t n = ::read(signalFd, &info, sizeof info);
            return;
        }

        const auto now = Clock::now();
        if (m_master >= 0 && masterIndex < listenIndex && fds[masterIndex].revents != 0) {
            if ((fds[masterIndex].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                readLine(now);
            }
        }
        fireTimers(now);
        fireBabble(now);
        if (m_session.hasPartial() && now >= m_lastInput + kPartialTimeout) {
            m_events.clear();
            m_session.flushPartial(m_events);
            dispatch(m_events, now);
        }
        flushOutput();

        // Clients first (a command may unplug or replug), then newcomers. Only now, with the
        // output flushed, can "idle" be answered: its ok says the bytes are on the line.
        const size_t known = m_clients.size();
        for (size_t i = 0; i < known; ++i) {
            Client& client = m_clients[i];
            const bool keep =
                (fds[clientIndex + i].revents == 0 || readClient(client)) && serviceClient(client);
            if (!keep) {
                closeFd(client.fd);
            }
        }
        std::erase_if(m_clients, [](const Client& client) { return client.fd < 0; });
        if (m_listen >= 0 && listenIndex < clientIndex && fds[listenIndex].revents != 0) {
            acceptClients();
        }
    }
}

void VirtualEvm::readLine(Clock::time_point now) {
    uint8_t buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        // Cannot happen while our own slave descriptor is open; do not spin on it if it does.
        std::fprintf(stderr, "virtual-evm: pty read failed (%s); unplugged\n",
                     n == 0 ? "end of file" : std::strerror(errno));
        unplug();
        return;
    }
    m_lastInput = now;
    m_events.clear();
    m_session.receive(std::span<const uint8_t>(buffer, static_cast<size_t>(n)), m_events);
    dispatch(m_events, now);
}

void VirtualEvm::dispatch(std::vector<Event>& events, Clock::time_point now) {
    if (m_stalledUntil && now >= *m_stalledUntil) {
        m_stalledUntil.reset();
    }
    // Where a board that answers in order would start on these answers: after those still due.
    const Clock::time_point inOrder =
        m_timers.empty() ? now : std::max(now, std::prev(m_timers.end())->first);
    for (Event& event : events) {
        if (event.direction == Event::Direction::Tx && event.stallMs > 0) {
            m_stalledUntil = now + std::chrono::milliseconds(event.stallMs);
        }
        if (event.direction == Event::Direction::Tx && m_stalledUntil) {
            // Equal times keep their order in the multimap: answers go out as they were due.
            const auto due =
                std::max(*m_stalledUntil, now + std::chrono::milliseconds(event.delayMs));
            m_timers.emplace(due, Pending{std::move(event.bytes), std::move(event.text)});
            continue;
        }
        if (event.direction == Event::Direction::Tx && event.held) {
            m_held.push_back(Pending{std::move(event.bytes), std::move(event.text)});
            continue;
        }
        if (event.direction == Event::Direction::Tx &&
            (event.delayMs > 0 || (event.behindPending && inOrder > now))) {
            m_timers.emplace((event.behindPending ? inOrder : now) +
                                 std::chrono::milliseconds(event.delayMs),
                             Pending{std::move(event.bytes), std::move(event.text)});
            continue;
        }
        send(event, now);
        if (event.direction == Event::Direction::Tx && event.babbleMs > 0) {
            // A new babble replaces one still running.
            m_babble = Babble{event.bytes, now + kBabbleGap,
                              now + std::chrono::milliseconds(event.babbleMs)};
            if (m_babble->next >= m_babble->end) {
                m_babble.reset();
            }
        }
    }
}

void VirtualEvm::fireTimers(Clock::time_point now) {
    while (!m_timers.empty() && m_timers.begin()->first <= now) {
        auto node = m_timers.extract(m_timers.begin());
        send(Event{Event::Direction::Tx, std::move(node.mapped().bytes),
                   std::move(node.mapped().text), 0, 0},
             now);
    }
}

void VirtualEvm::fireBabble(Clock::time_point now) {
    if (!m_babble || now < m_babble->next) {
        return;
    }
    // One burst however late we are: a stalled loop does not owe the line a flood.
    send(Event{Event::Direction::Tx, m_babble->bytes, "babble", 0, 0}, now);
    m_babble->next = now + kBabbleGap;
    if (m_babble->next >= m_babble->end) {
        m_babble.reset();
    }
}

void VirtualEvm::send(const Event& event, Clock::time_point now) {
    // Logged before it is written, so the line is in the file when the PC sees the bytes.
    m_transcript.write(event, now);
    if (event.direction == Event::Direction::Tx && m_output.size() < kMaxOutput) {
        m_output.insert(m_output.end(), event.bytes.begin(), event.bytes.end());
    }
}

void VirtualEvm::flushOutput() {
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

void VirtualEvm::acceptClients() {
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        m_clients.push_back(Client{fd, {}, false});
    }
}

bool VirtualEvm::readClient(Client& client) {
    if (client.waitingIdle) {
        return false; // not polled for input, so a hang-up or an error
    }
    char buffer[1024];
    const ssize_t n = ::read(client.fd, buffer, sizeof buffer);
    if (n < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    if (n == 0) {
        return false;
    }
    client.input.append(buffer, static_cast<size_t>(n));
    return true;
}

bool VirtualEvm::reply(Client& client, const std::string& line) {
    const std::string text = line + "\n";
    return ::send(client.fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(text.size());
}

bool VirtualEvm::serviceClient(Client& client) {
    if (client.waitingIdle) {
        if (!idle()) {
            return true;
        }
        client.waitingIdle = false;
        if (!reply(client, "ok")) {
            return false;
        }
    }
    size_t newline = 0;
    while (!client.waitingIdle && (newline = client.input.find('\n')) != std::string::npos) {
        std::string line = client.input.substr(0, newline);
        client.input.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::vector<std::string> words = splitWords(line);
        if (!words.empty() && words[0] == "idle") {
            if (words.size() != 1) {
                if (!reply(client, "error: usage: idle")) {
                    return false;
                }
            } else if (!idle()) {
                client.waitingIdle = true;
            } else if (!reply(client, "ok")) {
                return false;
            }
            continue;
        }
        if (!reply(client, command(line))) {
            return false;
        }
    }
    if (!client.waitingIdle && client.input.size() > kMaxCommandLine) {
        reply(client, "error: command line too long");
        return false;
    }
    return true;
}

std::string VirtualEvm::command(std::string_view line) {
    const std::vector<std::string> words = splitWords(line);
    if (words.empty()) {
        return "error: empty command";
    }
    const std::string& name = words[0];
    if (name == "unplug" || name == "replug" || name == "device") {
        if (words.size() != 1) {
            return "error: usage: " + name;
        }
        const bool plugged = m_master >= 0;
        if (name == "device") {
            return plugged ? "ok " + m_devicePath : "error: unplugged";
        }
        if (name == "unplug") {
            if (!plugged) {
                return "error: already unplugged";
            }
            unplug();
            return "ok";
        }
        if (plugged) {
            return "error: already plugged";
        }
        try {
            plug();
            pointLink();
        } catch (const std::exception& e) {
            return std::string("error: ") + e.what();
        }
        // The new path goes to stdout like the first one; "device" tells it on request.
        announceDevice();
        return "ok";
    }
    if (name == "release") {
        if (words.size() != 1) {
            return "error: usage: release";
        }
        // Sent now, in the order they were kept back.
        const auto now = Clock::now();
        const std::size_t count = m_held.size();
        for (Pending& pending : m_held) {
            send(Event{Event::Direction::Tx, std::move(pending.bytes), std::move(pending.text), 0,
                       0, false},
                 now);
        }
        m_held.clear();
        flushOutput();
        return "ok " + std::to_string(count);
    }
    if (words.size() == 2 && name == "fault" && words[1] == "off") {
        m_babble.reset();
    }
    return m_session.control(line);
}

} // namespace virtualevm
