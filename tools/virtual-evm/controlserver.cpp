#include "controlserver.h"
#include "fdcalls.h"

#include "protocol.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace virtualevm {

namespace {

sockaddr_un socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

} // namespace

ControlServer::ControlServer(std::string path) : m_path(std::move(path)) {}

ControlServer::~ControlServer() {
    for (Client& client : m_clients) {
        closeFd(client.fd);
    }
    closeFd(m_listen);
    if (m_socketMade) {
        ::unlink(m_path.c_str());
    }
}

void ControlServer::open() {
    if (m_path.empty()) {
        return;
    }
    const std::string& path = m_path;
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

void ControlServer::addPollFds(std::vector<pollfd>& fds) const {
    if (m_listen >= 0) {
        fds.push_back(pollfd{m_listen, POLLIN, 0});
    }
    for (const Client& client : m_clients) {
        fds.push_back(pollfd{client.fd, static_cast<short>(client.waitingIdle ? 0 : POLLIN), 0});
    }
}

bool ControlServer::waitsForIdle() const {
    for (const Client& client : m_clients) {
        if (client.waitingIdle) {
            return true;
        }
    }
    return false;
}

void ControlServer::serve(std::span<const pollfd> polled, ControlTarget& target) {
    const bool listening = m_listen >= 0;
    const auto clients = polled.subspan(listening ? 1 : 0);
    // Clients first (a command may unplug or replug), then newcomers.
    const size_t known = m_clients.size();
    for (size_t i = 0; i < known; ++i) {
        Client& client = m_clients[i];
        const bool keep =
            (clients[i].revents == 0 || readClient(client)) && serviceClient(client, target);
        if (!keep) {
            closeFd(client.fd);
        }
    }
    std::erase_if(m_clients, [](const Client& client) { return client.fd < 0; });
    if (listening && polled[0].revents != 0) {
        acceptClients();
    }
}

void ControlServer::acceptClients() {
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        m_clients.push_back(Client{fd, {}, false});
    }
}

bool ControlServer::readClient(Client& client) {
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

bool ControlServer::reply(Client& client, const std::string& line) {
    const std::string text = line + "\n";
    return ::send(client.fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(text.size());
}

bool ControlServer::serviceClient(Client& client, ControlTarget& target) {
    if (client.waitingIdle) {
        if (!target.idle()) {
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
            } else if (!target.idle()) {
                client.waitingIdle = true;
            } else if (!reply(client, "ok")) {
                return false;
            }
            continue;
        }
        if (!reply(client, target.command(line))) {
            return false;
        }
    }
    if (!client.waitingIdle && client.input.size() > kMaxCommandLine) {
        reply(client, "error: command line too long");
        return false;
    }
    return true;
}

} // namespace virtualevm
