// The virtual board as a child process, for tests that talk to it over its pseudo-terminal, and
// a hold that keeps it still while the PC waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class EvmProcess {
public:
    // Starts virtual-evm (VIRTUAL_EVM_PATH) in a fresh private directory under /tmp with
    // --link <dir>/port --control <dir>/ctl --log <dir>/log plus extraArgs, and waits (at most
    // 10 s) for the device line on its stdout. Throws std::runtime_error on failure.
    explicit EvmProcess(std::vector<std::string> extraArgs = {});
    ~EvmProcess(); // SIGTERM, waitpid, remove the directory
    EvmProcess(const EvmProcess&) = delete;
    EvmProcess& operator=(const EvmProcess&) = delete;

    const std::string& linkPath() const { return m_linkPath; }
    // The slave device; follows a successful "replug".
    const std::string& devicePath() const { return m_devicePath; }
    const std::string& controlPath() const { return m_controlPath; }
    const std::string& logPath() const { return m_logPath; }
    pid_t pid() const { return m_pid; }

    // Sends one control command, returns the reply line without '\n'. Throws when the board
    // does not answer within 20 s (a guard against a hang).
    std::string control(const std::string& line);

    // Traffic since the last mark(), as "rx 1E 03 8F 00 FF 01 AF" / "tx 1F 00" (no time stamp,
    // no decoding). Only lines already written are seen: the board logs a reply before sending
    // it, but the PC's closing acknowledgement may still be on its way; see transcriptAfter().
    std::vector<std::string> transcript() const;
    // Whole log lines since the last mark().
    std::vector<std::string> transcriptLines() const;
    static constexpr int kTranscriptTimeoutMs = 10000;
    // As transcript(), after waiting until at least minLines lines follow the mark. Lines that
    // do not come within timeoutMs (ample on a loaded machine) throw std::runtime_error naming
    // what was awaited and what came.
    std::vector<std::string> transcriptAfter(std::size_t minLines,
                                             int timeoutMs = kTranscriptTimeoutMs) const;
    std::vector<std::string> transcriptLinesAfter(std::size_t minLines,
                                                  int timeoutMs = kTranscriptTimeoutMs) const;
    // Later transcript calls start after what is logged now.
    void mark();
    // Waits as transcriptLinesAfter() does, then marks. A transaction can end with the PC's
    // acknowledgement, which the board logs only when it arrives: marking right after a call
    // returns could leave that line after the mark.
    void markAfter(std::size_t minLines, int timeoutMs = kTranscriptTimeoutMs);

    // SIGTERM and wait; returns the exit code (128 + signal when killed). Idempotent.
    int stop();

private:
    std::string readStdoutLine(int timeoutMs);
    std::string readLog() const;
    void cleanUp();

    std::string m_dir;
    std::string m_linkPath;
    std::string m_controlPath;
    std::string m_logPath;
    std::string m_devicePath;
    pid_t m_pid = -1;
    int m_exitCode = -1;
    int m_stdout = -1;
    int m_control = -1;
    std::string m_stdoutBuffer;
    std::size_t m_markOffset = 0;
};

// A request as the link frames it, in the transcript's hex: start byte, length, payload, sum.
std::string frameHex(const std::vector<int>& payload);

// The PC's requests in a transcript ("rx 1E ..." lines), without the "rx ".
std::vector<std::string> requestsOf(const std::vector<std::string>& traffic);

} // namespace testsupport
