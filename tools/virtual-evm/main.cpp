// virtual-evm: the evaluation board's side of the serial protocol, on a pseudo-terminal.

#include "evmoptions.h"
#include "virtualevm.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kReplyTimeoutMs = 10000;

// Client mode: one command line to a running instance, its reply on stdout.
int sendCommand(const std::vector<std::string>& args) {
    if (args.size() < 3) {
        std::fprintf(stderr, "virtual-evm: --send needs a control path and a command\n%s",
                     virtualevm::usageText());
        return 2;
    }
    const std::string& path = args[1];
    std::string line;
    for (size_t i = 2; i < args.size(); ++i) {
        line += (i > 2 ? " " : "") + args[i];
    }
    line += '\n';

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "virtual-evm: control socket path too long\n");
        return 2;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        std::fprintf(stderr, "virtual-evm: cannot connect to %s: %s\n", path.c_str(),
                     std::strerror(errno));
        if (fd >= 0) {
            ::close(fd);
        }
        return 1;
    }
    if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
        std::fprintf(stderr, "virtual-evm: send failed: %s\n", std::strerror(errno));
        ::close(fd);
        return 1;
    }

    std::string reply;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    while (reply.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) == 0) {
            std::fprintf(stderr, "virtual-evm: no reply from %s\n", path.c_str());
            ::close(fd);
            return 1;
        }
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            std::fprintf(stderr, "virtual-evm: connection closed without a reply\n");
            ::close(fd);
            return 1;
        }
        reply.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    reply.resize(reply.find('\n'));
    std::printf("%s\n", reply.c_str());
    return reply.rfind("ok", 0) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--send") {
        return sendCommand(args);
    }

    virtualevm::EvmOptions options;
    try {
        options = virtualevm::parseOptions(args);
    } catch (const virtualevm::UsageError& e) {
        std::fprintf(stderr, "virtual-evm: %s\n%s", e.what(), virtualevm::usageText());
        return 2;
    }
    if (options.help) {
        std::printf("%s", virtualevm::usageText());
        return 0;
    }

    // A slow wire is timed by the loop's waits: the kernel's default slack (50 us a wait, three
    // waits a transaction) would be the model's own error, charged to the program under test.
    if (options.baud != 0 || options.latencyUs != 0) {
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    }

    // A control client or the reader of our stdout going away must not kill the board.
    std::signal(SIGPIPE, SIG_IGN);
    // A shell starts background jobs with SIGINT ignored; ignored signals never reach signalfd.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) < 0) {
        std::perror("virtual-evm: sigprocmask");
        return 1;
    }
    const int signalFd = ::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("virtual-evm: signalfd");
        return 1;
    }

    try {
        virtualevm::VirtualEvm evm(options);
        evm.start();
        evm.run(signalFd);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "virtual-evm: %s\n", e.what());
        ::close(signalFd);
        return 1;
    }
    ::close(signalFd);
    return 0;
}
