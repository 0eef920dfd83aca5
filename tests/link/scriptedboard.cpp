#include "scriptedboard.h"

#include "link/frame.h"
#include "link/telnetcodec.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

using namespace sundial;

bool VirtualTime::waitForSocket(net::Socket socket, int waitMs) {
    if (ScriptedBoard::served() != nullptr) {
        ScriptedBoard::served()->serve();
    }
    pollfd pfd{static_cast<int>(socket), POLLIN, 0};
    const bool ready = ::poll(&pfd, 1, 0) > 0;
    if (!ready) {
        s_now += waitMs;
    }
    return ready;
}

void VirtualTime::waitForInput(std::span<BoardPort* const> ports, int waitMs) {
    if (ScriptedBoard::served() != nullptr) {
        ScriptedBoard::served()->serve();
    }
    for (BoardPort* port : ports) {
        pollfd pfd{static_cast<int>(port->waitHandle().value), POLLIN, 0};
        if (::poll(&pfd, 1, 0) > 0) {
            return;
        }
    }
    s_now += waitMs;
}

ScriptedBoard::ScriptedBoard(Server server) : m_kind(server) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        throw std::runtime_error("no socket pair");
    }
    m_client = ends[0];
    m_server = ends[1];
    s_served = this;
}

ScriptedBoard::ScriptedBoard(Server server, int connection) : m_server(connection), m_kind(server) {
    if (::fcntl(m_server, F_SETFL, ::fcntl(m_server, F_GETFL) | O_NONBLOCK) != 0) {
        throw std::runtime_error("a blocking connection");
    }
}

ScriptedBoard::~ScriptedBoard() {
    hangUp();
    if (s_served == this) {
        s_served = nullptr;
    }
}

std::unique_ptr<NetworkPort> ScriptedBoard::port() const {
    return std::make_unique<NetworkPort>(m_client, m_kind != Server::Raw, VirtualTime::timing());
}

void ScriptedBoard::hangUp() {
    if (m_server >= 0) {
        ::close(m_server);
        m_server = -1;
    }
}

bool ScriptedBoard::serve() {
    if (m_server < 0) {
        return false;
    }
    std::vector<std::uint8_t> wire(4096);
    bool open = true;
    for (;;) {
        const ssize_t n = ::recv(m_server, wire.data(), wire.size(), 0);
        if (n <= 0) {
            open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            break;
        }
        take(std::span(wire).first(static_cast<std::size_t>(n)));
    }
    // Whole frames are requests, 1F 00 the client's closing acknowledgement.
    std::size_t at = 0;
    while (at < m_data.size()) {
        if (m_data[at] == kAck[0] && at + 1 < m_data.size()) {
            at += 2;
        } else if (m_data[at] == kStartByte && at + 1 < m_data.size()) {
            const std::size_t size = m_data[at + 1] + std::size_t{4};
            if (at + size > m_data.size()) {
                break;
            }
            ++m_requests;
            if (!m_flooding) {
                answer(std::span(m_data).subspan(at + 2, size - 4));
            }
            at += size;
        } else if (m_data[at] != kAck[0] && m_data[at] != kStartByte) {
            ++at; // not the link's
        } else {
            break;
        }
    }
    m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(at));
    flush();
    if (m_flooding && m_out.empty()) {
        fill();
    }
    return open;
}

void ScriptedBoard::take(std::span<const std::uint8_t> wire) {
    if (m_kind == Server::Raw) {
        m_data.insert(m_data.end(), wire.begin(), wire.end());
        return;
    }
    // The client sends data with 0xFF doubled, its options and its line settings, and purges.
    for (const std::uint8_t byte : wire) {
        switch (m_state) {
        case Telnet::Data:
            if (byte == telnet::kIac) {
                m_state = Telnet::Iac;
            } else {
                m_data.push_back(byte);
            }
            break;
        case Telnet::Iac:
            if (byte == telnet::kIac) {
                m_data.push_back(byte);
                m_state = Telnet::Data;
            } else if (byte >= telnet::kWill) {
                m_command = byte;
                m_state = Telnet::Option;
            } else if (byte == telnet::kSb) {
                m_sub.clear();
                m_state = Telnet::Sub;
            } else {
                m_state = Telnet::Data;
            }
            break;
        case Telnet::Option:
            option(m_command, byte);
            m_state = Telnet::Data;
            break;
        case Telnet::Sub:
            if (byte == telnet::kIac) {
                m_state = Telnet::SubIac;
            } else {
                m_sub.push_back(byte);
            }
            break;
        case Telnet::SubIac:
            if (byte == telnet::kIac) {
                m_sub.push_back(byte);
                m_state = Telnet::Sub;
            } else {
                subnegotiation();
                m_state = Telnet::Data;
            }
            break;
        }
    }
}

void ScriptedBoard::option(std::uint8_t command, std::uint8_t option) {
    // Binary both ways and the serial port control option, as the library asks.
    if (command == telnet::kWill) {
        m_out.insert(m_out.end(), {telnet::kIac, telnet::kDo, option});
    } else if (command == telnet::kDo && option == telnet::kBinary) {
        m_out.insert(m_out.end(), {telnet::kIac, telnet::kWill, option});
    }
}

void ScriptedBoard::subnegotiation() {
    if (m_sub.size() < 2 || m_sub[0] != telnet::kComPort) {
        return;
    }
    const std::uint8_t command = m_sub[1];
    if (command == telnet::kPurgeData) {
        ++m_purges;
        if (m_kind == Server::TelnetIgnoringPurges) {
            return;
        }
    } else if (command > telnet::kSetControl) {
        return;
    }
    // The setting as asked for, or the purge, answered.
    std::vector<std::uint8_t> answer(m_sub);
    answer[1] = static_cast<std::uint8_t>(command + telnet::kServerAnswer);
    m_out.insert(m_out.end(), {telnet::kIac, telnet::kSb});
    TelnetCodec::encodeData(answer, m_out);
    m_out.insert(m_out.end(), {telnet::kIac, telnet::kSe});
}

void ScriptedBoard::answer(std::span<const std::uint8_t> payload) {
    if (payload.size() < 3) {
        return;
    }
    const std::uint8_t command = payload[0];
    std::vector<std::uint8_t> reply;
    if (command == 0x8F) { // the probe
        reply = {0x8F, 0x00, 0x00};
    } else if ((command & 0xF0) == 0x50) { // a channel set-up: the acknowledgement alone
        send(kAck);
        return;
    } else if ((command & 0xF0) == 0x10 && payload.size() == 6) { // a read: 0x42 each
        reply.assign(payload.begin(), payload.begin() + 5);
        reply.insert(reply.end(), payload[4], 0x42);
        if (reply.size() > kMaxPayload) {
            reply.clear(); // no frame counts that many
        }
    } else if (writeExpectsReply(payload[1])) {
        reply = {command, payload[1], 0x00};
    }
    send(kAck);
    if (!reply.empty()) {
        send(Frame::fromPayload(reply)->bytes());
    }
}

void ScriptedBoard::send(std::span<const std::uint8_t> bytes) {
    if (m_kind == Server::Raw) {
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    } else {
        TelnetCodec::encodeData(bytes, m_out);
    }
}

void ScriptedBoard::flush() {
    const ssize_t n =
        m_out.empty() ? 0 : ::send(m_server, m_out.data(), m_out.size(), MSG_NOSIGNAL);
    if (n > 0) {
        m_out.erase(m_out.begin(), m_out.begin() + n);
    }
}

void ScriptedBoard::fill() {
    // Until the line is full, or a client that reads as fast has had a socket pair's worth:
    // serve() must get back to what it sends.
    constexpr std::size_t kMostAtOnce = std::size_t{1} << 20;
    std::vector<std::uint8_t> chunk(4096);
    for (std::size_t sent = 0; sent < kMostAtOnce && m_flooding; sent += chunk.size()) {
        for (std::uint8_t& byte : chunk) {
            byte = m_next;
            m_next = static_cast<std::uint8_t>((m_next + 1) % 251);
        }
        const ssize_t n = ::send(m_server, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n < static_cast<ssize_t>(chunk.size())) {
            // The pattern goes on from what the line took.
            m_next = chunk[n > 0 ? static_cast<std::size_t>(n) : 0];
            return;
        }
    }
}

} // namespace testsupport
