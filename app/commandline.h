// The windowed program's command line: the port to use, --help and --version. No widgets here,
// so that it is read, and refused, before a window opens.
#pragma once

#include "device/portchoice.h"

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace larkspur {

struct LarkspurOptions {
    PortChoice port;   // start-up and Reconnect use this port alone; none: the search
    std::string trace; // --trace: the link library's trace file ("-": standard error)
    bool help = false;
    bool version = false;
};

class CommandLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The words after the program's name, once Qt has taken its own (-platform and the like);
// "--port VALUE" or "--port=VALUE". Throws CommandLineError.
LarkspurOptions parseLarkspurOptions(const std::vector<std::string>& words);

const char* larkspurUsage();

// Before Qt has taken its words: the usage or the version, when the words are the program's own
// and ask for one, so that neither needs a display. Nothing otherwise.
std::optional<int> answerWithoutDisplay(const std::vector<std::string>& words, std::ostream& out);

// What the program does with its words before any window: prints the usage or the version to
// `out`, or the error with a hint to `err`, and gives the exit status (0, or 2 for words it
// cannot take); nothing when it is to start with `options`.
std::optional<int> readCommandLine(const std::vector<std::string>& words, std::ostream& out,
                                   std::ostream& err, LarkspurOptions& options);

} // namespace larkspur
