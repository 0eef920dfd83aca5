#pragma once

#include "evmboard.h"
#include "faultplan.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace virtualevm {

struct EvmOptions {
    std::string linkPath;    // symlink to the slave device; empty for none
    std::string logPath;     // transcript file; empty for none
    std::string controlPath; // Unix stream socket for control commands; empty for none
    uint8_t i2cAddress = EvmBoard::kDefaultI2cAddress;
    unsigned spiDevice = 0;
    uint8_t zeroFlags = 0;
    std::optional<Fault> fault;
    // The wire's own speed: the baud rate each byte takes its time at (0: at once), and the
    // USB adapter's turnaround before the board's bytes reach the PC.
    unsigned baud = 0;
    unsigned latencyUs = 0;
    bool help = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Server-mode arguments (without the program name). Accepts "--opt VALUE" and "--opt=VALUE";
// numbers in decimal or 0x-hex. Throws UsageError.
EvmOptions parseOptions(const std::vector<std::string>& args);

const char* usageText();

} // namespace virtualevm
