#include "childprocess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

ChildProcess::ChildProcess(const std::vector<std::string>& command) {
    int in[2];
    int out[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned = ::posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    if (spawned != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start " + command.front());
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
    }
    finish(0);
}

bool ChildProcess::write(const std::string& text) {
    return m_in >= 0 &&
           ::write(m_in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool ChildProcess::pump(int timeoutMs) {
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    if (m_out < 0 && m_err < 0) {
        return false;
    }
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready < 0 && errno == EINTR) {
        return true;
    }
    if (ready <= 0) {
        return false;
    }
    int* ends[2] = {&m_out, &m_err};
    std::string* targets[2] = {&m_outcome.out, &m_outcome.err};
    for (int i = 0; i < 2; ++i) {
        if (*ends[i] >= 0 && fds[i].revents != 0) {
            char buffer[4096];
            const ssize_t n = ::read(*ends[i], buffer, sizeof buffer);
            if (n > 0) {
                targets[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(*ends[i]);
                *ends[i] = -1;
            }
        }
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs) {
    for (;;) {
        const std::size_t newline = m_outcome.out.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_outcome.out.substr(0, newline);
            m_outcome.out.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        if (m_out < 0 || !pump(timeoutMs)) {
            return std::nullopt;
        }
    }
}

ChildProcess::Outcome ChildProcess::finish(int timeoutMs) {
    if (m_in >= 0) {
        ::close(m_in);
        m_in = -1;
    }
    while (pump(timeoutMs)) {
    }
    if ((m_out >= 0 || m_err >= 0) && m_pid > 0) {
        ::kill(m_pid, SIGKILL); // still talking, or silent past the guard: it hangs
    }
    for (int* end : {&m_out, &m_err}) {
        if (*end >= 0) {
            ::close(*end);
            *end = -1;
        }
    }
    if (m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status)) {
            m_outcome.status = WEXITSTATUS(status);
        }
        m_pid = -1;
    }
    return m_outcome;
}

ChildProcess::Outcome runToEnd(const std::vector<std::string>& command, const std::string& input) {
    ChildProcess child(command);
    if (!input.empty()) {
        child.write(input);
    }
    return child.finish();
}

pid_t spawnTiedChild(const std::vector<std::string>& command, int out, int err, int deathSignal) {
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    // Only async-signal-safe calls from here to exec.
    ::prctl(PR_SET_PDEATHSIG, deathSignal);
    if (::getppid() != parent) {
        ::_exit(127);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(out, 1) < 0 ||
        (err >= 0 && ::dup2(err, 2) < 0)) {
        ::_exit(127);
    }
    ::close_range(3, ~0u, 0);
    ::execv(argv[0], argv.data());
    static constexpr char kNoProgram[] = "cannot run the program\n";
    [[maybe_unused]] const ssize_t ignored = ::write(2, kNoProgram, sizeof kNoProgram - 1);
    ::_exit(127);
}

} // namespace testsupport
