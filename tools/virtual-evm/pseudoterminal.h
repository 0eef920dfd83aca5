#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace virtualevm {

// The board's end of the serial line: a pseudo-terminal set raw before anyone sees it, an
// optional symlink to its device, and the bytes the PC has not taken yet. Unplugging closes
// both sides and removes the link; plugging again makes a new device.
class PseudoTerminal {
public:
    // linkPath: where to point a symlink to the device; empty for none.
    explicit PseudoTerminal(std::string linkPath);
    ~PseudoTerminal(); // closes the pty and removes the link
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // A new pty, raw at once, then the link pointed at it. Throws std::runtime_error; when only
    // the link fails, the pty stays open.
    void plug();
    // Closes the pty, removes the link and drops the output not yet taken.
    void unplug();
    bool plugged() const { return m_master >= 0; }
    const std::string& devicePath() const { return m_devicePath; }
    // The master, to poll; -1 unplugged.
    int fd() const { return m_master; }

    // What the PC wrote: its bytes (empty when there was nothing), or nothing when the line
    // failed, which is said on stderr; the caller unplugs then.
    std::optional<std::span<const uint8_t>> read();

    // Queued behind the output not taken yet; dropped once that holds kMaxOutput bytes.
    void queue(std::span<const uint8_t> bytes);
    bool hasOutput() const { return !m_output.empty(); }
    // Writes what the pty takes without blocking; the rest waits for POLLOUT.
    void flush();

    // Output the PC does not read is dropped beyond this, rather than growing without bound.
    static constexpr size_t kMaxOutput = 1 << 20;

private:
    void openPty();
    void pointLink();
    void removeLink();

    std::string m_linkPath;
    int m_master = -1;
    int m_slave = -1; // held so the master never sees EIO when the PC closes its side
    std::string m_devicePath;
    bool m_linkMade = false;
    std::vector<uint8_t> m_output; // bytes the pty has not taken yet
    std::array<uint8_t, 4096> m_input{};
};

} // namespace virtualevm
