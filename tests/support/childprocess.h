// A program under test as a child process, its standard streams on pipes.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    struct Outcome {
        int status = -1; // the exit status; -1 when it did not exit on its own
        std::string out;
        std::string err;
    };

    // Starts `command`: a path, or a name looked up on PATH, then its arguments. The child gets
    // this process's environment. Throws std::runtime_error when it cannot start.
    explicit ChildProcess(const std::vector<std::string>& command);
    ~ChildProcess(); // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

    // Writes to its standard input; false when it is no longer read.
    bool write(const std::string& text);

    // Its next line of standard output without the line end; nothing when it ended or nothing
    // came within `timeoutMs` (a guard against a hang).
    std::optional<std::string> readLine(int timeoutMs);

    // Closes its input, reads both outputs to their end and waits for it.
    Outcome finish(int timeoutMs = 60000);

private:
    // Reads whatever either output has; false when both are closed or nothing came in time.
    bool pump(int timeoutMs);

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    Outcome m_outcome;
};

// Starts the program `command[0]` (a path) with its arguments as a child tied to this process:
// it gets `deathSignal` when this process dies (destructors or not), its standard input is
// /dev/null, its output goes to `out` and its errors to `err` (-1: this process's), and it holds
// no other descriptor of ours (a test's port or pipe). The child's pid; -1 when fork failed.
pid_t spawnTiedChild(const std::vector<std::string>& command, int out, int err, int deathSignal);

// Runs `command` to its end with `input` on its standard input.
ChildProcess::Outcome runToEnd(const std::vector<std::string>& command,
                               const std::string& input = {});

} // namespace testsupport
