#include "ser2netprocess.h"

#include "childprocess.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef SER2NET_PATH
#error "SER2NET_PATH must name the ser2net executable"
#endif

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000; // a guard against a hang, not a margin
constexpr int kStartAttempts = 5;
constexpr auto kPollInterval = std::chrono::milliseconds(2);
constexpr auto kRetryPause = std::chrono::milliseconds(100);
// What ser2net prints when an accepter cannot listen; it goes on running without that port.
constexpr const char* kAccepterFailed = "Unable to startup network port";

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("Ser2netProcess: " + what + ": " + std::strerror(errno));
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Ports of 127.0.0.1 free right now, all different: each socket is held until all are bound.
std::vector<int> pickFreePorts(std::size_t count) {
    std::vector<int> sockets;
    std::vector<int> ports;
    for (std::size_t i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            const int saved = errno;
            for (const int open : sockets) {
                ::close(open);
            }
            if (fd >= 0) {
                ::close(fd);
            }
            errno = saved;
            fail("picking a free port");
        }
        sockets.push_back(fd);
        ports.push_back(ntohs(address.sin_port));
    }
    for (const int fd : sockets) {
        ::close(fd);
    }
    return ports;
}

// A connected socket, or -1 with errno set.
int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const sockaddr_in address = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

std::string readFile(const std::string& path, std::size_t offset = 0) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return offset < all.size() ? all.substr(offset) : std::string();
}

// The targets of the process's descriptors: "/dev/pts/3", "socket:[12345]".
std::set<std::string> openFilesOf(pid_t pid) {
    std::set<std::string> targets;
    std::error_code error;
    const std::filesystem::path folder = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error) {
            targets.insert(target.string());
        }
    }
    return targets;
}

// Whether a socket of the process listens on 127.0.0.1:port: a port that answers connect() may
// belong to another program when ser2net could not take it.
bool listensIn(pid_t pid, int port) {
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", htonl(INADDR_LOOPBACK), port);
    std::ifstream table("/proc/" + std::to_string(pid) + "/net/tcp");
    std::set<std::string> sockets;
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localAddress, remoteAddress, state, queues, timer, retransmits, uid,
            timeout, inode;
        fields >> slot >> localAddress >> remoteAddress >> state >> queues >> timer >>
            retransmits >> uid >> timeout >> inode;
        if (localAddress == local && state == "0A") {
            sockets.insert("socket:[" + inode + "]");
        }
    }
    for (const std::string& target : openFilesOf(pid)) {
        if (sockets.count(target) != 0) {
            return true;
        }
    }
    return false;
}

// The device as ser2net's descriptor names it: the served path is often a symbolic link.
std::string resolvedDevice(const std::string& device) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(device, error);
    return error ? device : resolved.string();
}

bool holdsDevice(pid_t pid, const std::string& resolved) {
    return openFilesOf(pid).count(resolved) != 0;
}

} // namespace

Ser2netProcess::Ser2netProcess(std::vector<Served> served)
    : Ser2netProcess(std::move(served), Options{}) {}

Ser2netProcess::Ser2netProcess(std::vector<Served> served, Options options)
    : m_served(std::move(served)), m_options(options) {
    if (m_served.empty()) {
        throw std::invalid_argument("Ser2netProcess: no device to serve");
    }
    char pattern[] = "/tmp/ser2net-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        fail("mkdtemp");
    }
    m_dir = pattern;
    m_configPath = m_dir + "/ser2net.yaml";
    m_outputPath = m_dir + "/output";
    try {
        // Between picking a port and ser2net binding it another program may take it.
        for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
            m_ports = pickFreePorts(m_served.size());
            writeConfig();
            if (start()) {
                return;
            }
        }
        throw std::runtime_error("Ser2netProcess: no free ports after " +
                                 std::to_string(kStartAttempts) + " attempts:\n" + output());
    } catch (...) {
        cleanUp();
        throw;
    }
}

Ser2netProcess::~Ser2netProcess() {
    cleanUp();
}

void Ser2netProcess::cleanUp() {
    stop();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        m_dir.clear();
    }
}

std::string Ser2netProcess::url(std::size_t i) const {
    const char* scheme = m_served.at(i).kind == Kind::Rfc2217 ? "rfc2217" : "tcp";
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port(i));
}

std::string Ser2netProcess::output() const {
    return readFile(m_outputPath);
}

void Ser2netProcess::writeConfig() const {
    std::ofstream config(m_configPath, std::ios::trunc);
    for (std::size_t i = 0; i < m_served.size(); ++i) {
        const bool telnet = m_served[i].kind == Kind::Rfc2217;
        config << "connection: &c" << i << "\n"
               << "    accepter: " << (telnet ? "telnet(rfc2217),tcp" : "tcp") << ",127.0.0.1,"
               << m_ports[i] << "\n"
               << "    connector: serialdev," << m_served[i].device << ",115200n81,local\n";
        if (m_options.noCharDelay) {
            config << "    options:\n"
                   << "      chardelay: false\n";
        }
    }
    config.flush();
    if (!config) {
        throw std::runtime_error("Ser2netProcess: cannot write " + m_configPath);
    }
}

bool Ser2netProcess::start() {
    const int output =
        ::open(m_outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (output < 0) {
        fail("open " + m_outputPath);
    }
    const std::size_t outputStart = readFile(m_outputPath).size();
    // -u: the devices are the tests' own; no lock files in the system's lock folder.
    std::vector<std::string> args = {SER2NET_PATH, "-n", "-d", "-u", "-c", m_configPath};
    // SIGKILL: the server must go with the test process even while it is stopped by pause().
    m_pid = spawnTiedChild(args, output, output, SIGKILL);
    if (m_pid < 0) {
        ::close(output);
        fail("fork");
    }
    ::close(output);

    const auto printed = [&] { return readFile(m_outputPath, outputStart); };
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    std::vector<bool> serving(m_served.size(), false);
    std::size_t left = serving.size();
    while (left > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            throw std::runtime_error("Ser2netProcess: ser2net ended on start:\n" + printed());
        }
        const std::string text = printed();
        if (text.find(kAccepterFailed) != std::string::npos) {
            // A port that cannot be bound is left out while the rest runs, and such a ser2net
            // may not heed SIGTERM.
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            if (text.find("Address already in use") != std::string::npos) {
                return false;
            }
            throw std::runtime_error("Ser2netProcess: ser2net could not listen:\n" + text);
        }
        if (Clock::now() >= deadline) {
            stop();
            throw std::runtime_error("Ser2netProcess: ports not served within " +
                                     std::to_string(kStartTimeoutMs) + " ms:\n" + text);
        }
        for (std::size_t i = 0; i < serving.size(); ++i) {
            if (serving[i] || !listensIn(m_pid, m_ports[i])) {
                continue;
            }
            const int probe = connectTo(m_ports[i]);
            if (probe < 0) {
                continue;
            }
            // ser2net opens the device for the probe. A client that came while it is still
            // open would be turned away as a second user: wait for the open, close, wait for
            // the device to be let go. A device that cannot be opened ends the connection.
            const std::string device = resolvedDevice(m_served[i].device);
            bool ended = false;
            while (!ended && !holdsDevice(m_pid, device) && Clock::now() < deadline) {
                pollfd pfd{probe, POLLIN, 0};
                if (::poll(&pfd, 1, 2) > 0) {
                    char chunk[256];
                    ended = ::recv(probe, chunk, sizeof chunk, 0) <= 0;
                }
            }
            ::close(probe);
            while (holdsDevice(m_pid, device) && Clock::now() < deadline) {
                std::this_thread::sleep_for(kPollInterval);
            }
            if (Clock::now() < deadline) {
                serving[i] = true;
                --left;
            }
        }
        if (left > 0) {
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    return true;
}

void Ser2netProcess::stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    if (m_paused) {
        ::kill(m_pid, SIGCONT); // a stopped process acts on SIGTERM only once it runs
        m_paused = false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
    pid_t done = 0;
    while ((done = ::waitpid(m_pid, nullptr, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
    if (done == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

void Ser2netProcess::pause() {
    if (m_pid <= 0 || m_paused) {
        return;
    }
    ::kill(m_pid, SIGSTOP);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(m_pid, &status, WUNTRACED)) < 0 && errno == EINTR) {
    }
    if (done != m_pid || !WIFSTOPPED(status)) {
        m_pid = -1;
        throw std::runtime_error("Ser2netProcess: ser2net ended instead of stopping");
    }
    m_paused = true;
}

void Ser2netProcess::resume() {
    if (m_pid <= 0 || !m_paused) {
        return;
    }
    ::kill(m_pid, SIGCONT);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(m_pid, &status, WCONTINUED)) < 0 && errno == EINTR) {
    }
    if (done != m_pid || !WIFCONTINUED(status)) {
        m_pid = -1;
        throw std::runtime_error("Ser2netProcess: ser2net ended instead of going on");
    }
    m_paused = false;
}

void Ser2netProcess::restart() {
    stop();
    // The ports are ours to bind again (ser2net sets SO_REUSEADDR), unless another program took
    // one while ser2net was down; that may pass.
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (start()) {
            return;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
    throw std::runtime_error("Ser2netProcess: its ports stayed taken:\n" + output());
}

void Ser2netProcess::waitUntilDevicesClosed() const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    const auto holdsAny = [this] {
        const std::set<std::string> open = openFilesOf(m_pid);
        for (const Served& served : m_served) {
            if (open.count(resolvedDevice(served.device)) != 0) {
                return true;
            }
        }
        return false;
    };
    while (m_pid > 0 && holdsAny()) {
        if (Clock::now() >= deadline) {
            throw std::runtime_error("Ser2netProcess: a device still open after " +
                                     std::to_string(kStartTimeoutMs) + " ms");
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

} // namespace testsupport
