#include "evmprocess.h"

#include "childprocess.h"
#include "hexbytes.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef VIRTUAL_EVM_PATH
#error "VIRTUAL_EVM_PATH must name the virtual-evm executable"
#endif

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 10000;
constexpr int kControlTimeoutMs = 20000; // a guard against a hang, not a margin
constexpr int kExitTimeoutMs = 60000;
constexpr auto kPollInterval = std::chrono::milliseconds(2);

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("EvmProcess: " + what + ": " + std::strerror(errno));
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Reads from fd until `buffer` holds a '\n'; returns the line without it.
std::string readLineFrom(int fd, std::string& buffer, int timeoutMs, const char* what) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const size_t newline = buffer.find('\n'); newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            return line;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            throw std::runtime_error(std::string("EvmProcess: timed out waiting for ") + what);
        }
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error(std::string("EvmProcess: stream closed while waiting for ") +
                                     what);
        }
        buffer.append(chunk, static_cast<size_t>(n));
    }
}

std::vector<std::string> completeLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t newline = 0;
    while ((newline = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, newline - start));
        start = newline + 1;
    }
    return lines;
}

// "0.012345 rx 1E 03 ; probe" -> "rx 1E 03"
std::string trafficOf(const std::string& line) {
    const size_t space = line.find(' ');
    const size_t semicolon = line.find(" ; ");
    const size_t begin = space == std::string::npos ? 0 : space + 1;
    const size_t end = semicolon == std::string::npos ? line.size() : semicolon;
    return line.substr(begin, end > begin ? end - begin : 0);
}

// The log from byte `offset` on.
std::string readFrom(const std::string& path, std::size_t offset) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0) {
        char chunk[8192];
        ssize_t n = 0;
        while ((n = ::read(fd, chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

// A new connection to the board's control socket; throws when there is none.
int connectControl(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        fail("socket");
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        fail("connect " + path);
    }
    return fd;
}

// Sends one command line on `fd` and returns the reply line.
std::string exchangeControl(int fd, const std::string& line) {
    const std::string request = line + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        fail("send control command");
    }
    std::string buffer;
    return readLineFrom(fd, buffer, kControlTimeoutMs, "a control reply");
}

} // namespace

EvmProcess::EvmProcess(std::vector<std::string> extraArgs) {
    char pattern[] = "/tmp/virtual-evm-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        fail("mkdtemp");
    }
    m_dir = pattern;
    m_linkPath = m_dir + "/port";
    m_controlPath = m_dir + "/ctl";
    m_logPath = m_dir + "/log";

    try {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) < 0) {
            fail("pipe2");
        }
        m_stdout = pipeFds[0];

        std::vector<std::string> args = {VIRTUAL_EVM_PATH, "--link", m_linkPath, "--control",
                                         m_controlPath,    "--log",  m_logPath};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        // The board goes when the test process goes, even when it is killed without running
        // destructors.
        m_pid = spawnTiedChild(args, pipeFds[1], -1, SIGTERM);
        if (m_pid < 0) {
            ::close(pipeFds[1]);
            fail("fork");
        }
        ::close(pipeFds[1]);

        m_devicePath = readStdoutLine(kStartTimeoutMs);
        if (m_devicePath.rfind("/dev/", 0) != 0) {
            throw std::runtime_error("EvmProcess: unexpected first line '" + m_devicePath + "'");
        }
    } catch (...) {
        cleanUp();
        throw;
    }
}

EvmProcess::~EvmProcess() {
    cleanUp();
}

void EvmProcess::cleanUp() {
    stop();
    if (m_control >= 0) {
        ::close(m_control);
        m_control = -1;
    }
    if (m_stdout >= 0) {
        ::close(m_stdout);
        m_stdout = -1;
    }
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        m_dir.clear();
    }
}

int EvmProcess::stop() {
    if (m_pid <= 0) {
        return m_exitCode;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    // Only a guard against a hang: a sanitized board checks its memory for leaks on the way out,
    // which a loaded machine can make slow.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kExitTimeoutMs);
    pid_t done = 0;
    while ((done = ::waitpid(m_pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
    if (done == 0) {
        ::kill(m_pid, SIGKILL);
        done = ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    if (done < 0) {
        m_exitCode = -1;
    } else if (WIFEXITED(status)) {
        m_exitCode = WEXITSTATUS(status);
    } else {
        m_exitCode = 128 + WTERMSIG(status);
    }
    return m_exitCode;
}

std::string EvmProcess::readStdoutLine(int timeoutMs) {
    return readLineFrom(m_stdout, m_stdoutBuffer, timeoutMs, "virtual-evm's device line");
}

std::string EvmProcess::control(const std::string& line) {
    if (m_control < 0) {
        m_control = connectControl(m_controlPath);
    }
    const std::string reply = exchangeControl(m_control, line);
    // A replugged board is a new device; its path comes on stdout before the reply.
    if (line == "replug" && reply.rfind("ok", 0) == 0) {
        m_devicePath = readStdoutLine(kControlTimeoutMs);
    }
    return reply;
}

std::string EvmProcess::readLog() const {
    return readFrom(m_logPath, m_markOffset);
}

std::vector<std::string> EvmProcess::transcriptLines() const {
    return completeLines(readLog());
}

std::vector<std::string> EvmProcess::transcript() const {
    std::vector<std::string> traffic;
    for (const std::string& line : transcriptLines()) {
        traffic.push_back(trafficOf(line));
    }
    return traffic;
}

std::vector<std::string> EvmProcess::transcriptLinesAfter(std::size_t minLines,
                                                          int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> lines = transcriptLines();
    while (lines.size() < minLines) {
        if (Clock::now() >= deadline) {
            std::string message = "EvmProcess: waited " + std::to_string(timeoutMs) + " ms for " +
                                  std::to_string(minLines) + " transcript lines after the mark; " +
                                  std::to_string(lines.size()) + " came";
            for (const std::string& line : lines) {
                message += "\n  " + line;
            }
            throw std::runtime_error(message);
        }
        std::this_thread::sleep_for(kPollInterval);
        lines = transcriptLines();
    }
    return lines;
}

std::vector<std::string> EvmProcess::transcriptAfter(std::size_t minLines, int timeoutMs) const {
    std::vector<std::string> traffic;
    for (const std::string& line : transcriptLinesAfter(minLines, timeoutMs)) {
        traffic.push_back(trafficOf(line));
    }
    return traffic;
}

void EvmProcess::mark() {
    const std::string text = readLog();
    const size_t lastNewline = text.rfind('\n');
    if (lastNewline != std::string::npos) {
        m_markOffset += lastNewline + 1;
    }
}

void EvmProcess::markAfter(std::size_t minLines, int timeoutMs) {
    transcriptLinesAfter(minLines, timeoutMs);
    mark();
}

std::string frameHex(const std::vector<int>& payload) {
    std::vector<uint8_t> bytes = {0x1E, static_cast<uint8_t>(payload.size())};
    int sum = 0x1E + static_cast<int>(payload.size());
    for (const int b : payload) {
        bytes.push_back(static_cast<uint8_t>(b));
        sum += b;
    }
    bytes.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    bytes.push_back(static_cast<uint8_t>(sum & 0xFF));
    return hexOf(bytes);
}

std::vector<std::string> requestsOf(const std::vector<std::string>& traffic) {
    std::vector<std::string> requests;
    for (const std::string& line : traffic) {
        if (line.rfind("rx 1E", 0) == 0) {
            requests.push_back(line.substr(3));
        }
    }
    return requests;
}

} // namespace testsupport
