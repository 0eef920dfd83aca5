// The command line of larkspur-cli: options, the command and its arguments.
#pragma once

#include "device/portchoice.h"
#include "session/argumenterror.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace larkspur::cli {

// The exit statuses users and scripts rely on.
enum ExitStatus {
    kDone = 0,
    kUsageError = 1,
    kNoBoard = 2, // no library, or no EVM found
    kLinkFailure = 3,
    kFileError = 4, // a script or file error
};

// The session's refusals and the command line's own are the same: a usage error.
using UsageError = ArgumentError;

struct CliOptions {
    // --port: a number of the library's port table, a device path or a URL.
    PortChoice port;
    // --interface and --address: 0 IIC, 1 SPI; the address item 0 to 3. Unset: Larkspur.ini.
    std::optional<int> interfaceIndex;
    std::optional<int> address; // as given: 76 to 79 over IIC, 0 to 3 over SPI
    // --trace: the file the link library traces its traffic to ("-": standard error).
    std::string trace;
    // --format: export's form, c, linux or json.
    std::string format;
    bool json = false;
    bool verbose = false;
    bool all = false;
    bool keepGoing = false; // run: past a line whose write failed, as the window's runs go on
    bool help = false;
    bool version = false;
    std::string command;
    std::vector<std::string> arguments;
};

// Options may stand before or after the command; "--" ends them. Throws UsageError: an option
// or command that is none, a wrong number of arguments, or an address the interface given
// beside it does not have.
CliOptions parseCliOptions(const std::vector<std::string>& words);

} // namespace larkspur::cli
