// The Windows build of the link library, run under Wine against the virtual board: the link
// table of the Linux end-to-end tests, through the Win32 serial calls. The boards run here; the
// Windows program reaches the board over COM9 and a silent board over COM8 (Wine maps the low
// numbers to the machine's own serial devices), and sends its board commands through us.
#include "evmprocess.h"
#include "linkcases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using testsupport::EvmProcess;

namespace {

constexpr int kBoardPort = 9;
constexpr int kSilentPort = 8;
// A wait this long for the program's next line means it hangs; the longest case takes ~4 s.
constexpr int kLineTimeoutMs = 60000;

namespace fs = std::filesystem;

// The environment of every Wine command: our own prefix, no debug chatter, no offer to install
// Mono or Gecko, and no display of the user's.
void enterWineEnvironment() {
    ::setenv("WINEPREFIX", WINE_PREFIX, 1);
    ::setenv("WINEDEBUG", "-all", 1);
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
}

// In a forked child: becomes `command` (a full path first), or exits 127.
[[noreturn]] void execCommand(const std::vector<std::string>& command) {
    std::vector<char*> args;
    for (const std::string& word : command) {
        args.push_back(const_cast<char*>(word.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// Runs a command to its end; its exit status, or -1.
int runToEnd(const std::vector<std::string>& command) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        execCommand(command);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// The Windows program with its stdin and stdout on pipes.
class WineProgram {
public:
    explicit WineProgram(const std::vector<std::string>& command) {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], STDIN_FILENO);
            ::dup2(fromChild[1], STDOUT_FILENO);
            execCommand(command);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_in = toChild[1];
        m_out = fromChild[0];
    }
    ~WineProgram() {
        ::close(m_in);
        ::close(m_out);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
    }

    // The next line without its end, or nothing when the program ended or went quiet.
    std::optional<std::string> readLine() {
        for (;;) {
            const std::size_t newline = m_buffer.find('\n');
            if (newline != std::string::npos) {
                std::string line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                return line;
            }
            pollfd pfd{m_out, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, kLineTimeoutMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            char chunk[4096];
            const ssize_t n = ready > 0 ? ::read(m_out, chunk, sizeof chunk) : 0;
            if (n <= 0) {
                return std::nullopt;
            }
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void writeLine(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(::write(m_in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // The exit status, once.
    int wait() {
        int status = 0;
        const pid_t pid = m_pid;
        m_pid = -1;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

TEST(WineLink, TheWindowsBuildPassesTheLinkTable) {
    enterWineEnvironment();
    // A prefix made once per build folder (about ten seconds), then reused.
    if (!fs::exists(fs::path(WINE_PREFIX) / "system.reg")) {
        ASSERT_EQ(runToEnd({WINE_PROGRAM, "wineboot", "--init"}), 0) << "wineboot failed";
    }
    const fs::path devices = fs::path(WINE_PREFIX) / "dosdevices";
    ASSERT_TRUE(fs::is_directory(devices));

    EvmProcess silent({"--fault", "silent always"});
    EvmProcess board;
    for (const auto& [port, evm] :
         {std::pair{kSilentPort, &silent}, std::pair{kBoardPort, &board}}) {
        const fs::path com = devices / ("com" + std::to_string(port));
        fs::remove(com);
        fs::create_symlink(evm->linkPath(), com);
    }

    std::map<std::string, bool> reported; // case name -> passed
    {
        WineProgram program(
            {WINE_PROGRAM, WINE_RUNNER, std::to_string(kBoardPort), std::to_string(kSilentPort)});
        bool done = false;
        while (const std::optional<std::string> line = program.readLine()) {
            if (line->rfind("control ", 0) == 0) {
                program.writeLine(board.control(line->substr(8)));
            } else if (line->rfind("pass ", 0) == 0) {
                reported[line->substr(5)] = true;
                std::printf("Windows build: %s\n", line->c_str());
            } else if (line->rfind("fail ", 0) == 0) {
                const std::string rest = line->substr(5);
                reported[rest.substr(0, rest.find(':'))] = false;
                ADD_FAILURE() << "Windows build: " << rest;
            } else if (*line == "done") {
                done = true;
                break;
            }
        }
        EXPECT_TRUE(done) << "the Windows program stopped before the end of the table";
        const auto failed = std::count_if(reported.begin(), reported.end(),
                                          [](const auto& entry) { return !entry.second; });
        EXPECT_EQ(program.wait(), failed == 0 ? 0 : 1);
    }
    for (const linkcases::Case& test : linkcases::cases()) {
        EXPECT_TRUE(reported.count(test.name) == 1) << test.name << " was not reported";
    }
    runToEnd({WINESERVER_PROGRAM, "-k"});
}

} // namespace
