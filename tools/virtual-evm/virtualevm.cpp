#include "virtualevm.h"

#include "protocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/signalfd.h>
#include <unistd.h>

namespace virtualevm {

namespace {

// A frame left unfinished this long is noise: the PC writes each frame in one call.
constexpr auto kPartialTimeout = std::chrono::milliseconds(250);

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

VirtualEvm::VirtualEvm(EvmOptions options)
    : m_options(std::move(options)), m_start(Clock::now()), m_pty(m_options.linkPath),
      m_control(m_options.controlPath),
      m_wire(m_options.baud, std::chrono::microseconds(m_options.latencyUs)) {
    EvmBoard& board = m_session.board();
    board.setI2cAddress(m_options.i2cAddress);
    board.setSpiDevice(m_options.spiDevice);
    board.codec().setZeroFlags(m_options.zeroFlags);
    if (m_options.fault) {
        m_session.faults().arm(*m_options.fault);
    }
}

VirtualEvm::~VirtualEvm() = default;

void VirtualEvm::start() {
    if (!m_options.logPath.empty()) {
        m_transcript.open(m_options.logPath, m_start);
    }
    m_pty.plug();
    m_control.open();
    announceDevice();
}

void VirtualEvm::unplug() {
    m_pty.unplug();
    m_scheduler.clear();
    m_wire.clear();
    m_crossing.clear();
    m_session.resetLine();
}

void VirtualEvm::announceDevice() const {
    std::printf("%s\n", m_pty.devicePath().c_str());
    std::fflush(stdout);
}

void VirtualEvm::run(int signalFd) {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back(pollfd{signalFd, POLLIN, 0});
        const int ptyEvents = POLLIN | (m_pty.hasOutput() ? POLLOUT : 0);
        const size_t ptyIndex = fds.size();
        if (m_pty.plugged()) {
            fds.push_back(pollfd{m_pty.fd(), static_cast<short>(ptyEvents), 0});
        }
        const size_t controlIndex = fds.size();
        m_control.addPollFds(fds);
        const bool idleDue = m_control.waitsForIdle() && idle();

        std::optional<Clock::time_point> deadline = m_scheduler.nextDeadline();
        const auto sooner = [&deadline](Clock::time_point when) {
            deadline = deadline ? std::min(*deadline, when) : when;
        };
        if (const auto arrival = m_wire.nextArrival()) {
            sooner(*arrival);
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
        if (m_pty.plugged() && ptyIndex < controlIndex && fds[ptyIndex].revents != 0) {
            if ((fds[ptyIndex].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                readLine(now);
            }
        }
        crossWire(now);
        // What the input made due at once goes out ahead of the answers whose time came.
        sendDue(now);
        crossWire(now); // with the line off, what was sent has arrived at once
        if (m_session.hasPartial() && now >= m_lastInput + kPartialTimeout) {
            m_events.clear();
            m_session.flushPartial(m_events);
            m_scheduler.add(m_events, now);
            sendDue(now);
        }
        m_pty.flush();

        // Only now, with the output flushed, can "idle" be answered: its ok says the bytes are
        // on the line.
        m_control.serve(std::span<const pollfd>(fds).subspan(controlIndex), *this);
    }
}

void VirtualEvm::readLine(Clock::time_point now) {
    const std::optional<std::span<const uint8_t>> input = m_pty.read();
    if (!input) {
        unplug();
        return;
    }
    if (input->empty()) {
        return;
    }
    if (m_wire.on()) {
        m_wire.fromPc(input->data(), input->size(), now);
        return;
    }
    receive(*input, now);
}

void VirtualEvm::receive(std::span<const uint8_t> bytes, Clock::time_point now) {
    m_lastInput = now;
    m_events.clear();
    m_session.receive(bytes, m_events);
    m_scheduler.add(m_events, now);
}

void VirtualEvm::crossWire(Clock::time_point now) {
    if (!m_wire.on()) {
        return;
    }
    for (const std::vector<uint8_t>& piece : m_wire.arrivedAtBoard(now)) {
        receive(piece, now);
    }
    for (std::size_t n = m_wire.arrivedAtPc(now).size(); n > 0 && !m_crossing.empty(); --n) {
        const Event event = std::move(m_crossing.front());
        m_crossing.pop_front();
        m_transcript.write(event, now);
        m_pty.queue(event.bytes);
    }
}

void VirtualEvm::sendDue(Clock::time_point now) {
    m_due.clear();
    m_scheduler.takeDue(now, m_due);
    for (const Event& event : m_due) {
        send(event, now);
    }
}

void VirtualEvm::send(const Event& event, Clock::time_point now) {
    if (m_wire.on() && event.direction == Event::Direction::Tx) {
        // Logged when it reaches the PC, as below.
        if (m_wire.fromBoard(event.bytes, now)) {
            m_crossing.push_back(event);
        }
        return;
    }
    // Logged before it is written, so the line is in the file when the PC sees the bytes.
    m_transcript.write(event, now);
    if (event.direction == Event::Direction::Tx) {
        m_pty.queue(event.bytes);
    }
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
        const bool plugged = m_pty.plugged();
        if (name == "device") {
            return plugged ? "ok " + m_pty.devicePath() : "error: unplugged";
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
            m_pty.plug();
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
        const std::vector<Event> released = m_scheduler.release();
        for (const Event& event : released) {
            send(event, now);
        }
        m_pty.flush();
        return "ok " + std::to_string(released.size());
    }
    if (words.size() == 2 && name == "fault" && words[1] == "off") {
        m_scheduler.stopBabble();
    }
    return m_session.control(line);
}

} // namespace virtualevm
