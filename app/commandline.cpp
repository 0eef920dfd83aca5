#include "commandline.h"
#include "device/programversion.h"

#include <ostream>
#include <sstream>

namespace larkspur {

namespace {

// Words the program cannot take end it with 2, as the GNU tools end theirs; 1 stays the status
// of a failure once it runs.
constexpr int kUsageStatus = 2;

} // namespace

const char* larkspurUsage() {
    return R"(usage: larkspur [--port N|PATH|URL] [--trace FILE|-]

The control panel of the Tessaly evaluation board.

Options:
  --port N|PATH|URL     use this port alone, at start-up and on Reconnect: a port number of
                        the library's table, a device path, or a port behind a network
                        serial server: tcp://HOST:PORT (raw TCP, as ser2net serves it) or
                        rfc2217://HOST:PORT (telnet, RFC 2217)
                        (default: search every port)
  --trace FILE|-        the link library's trace of every frame and call, appended to
                        FILE ("-": standard error)
  --help, --version

Qt's own options, such as -platform, are taken as well.

Register scripts, snapshots and history files: larkspur-script(5).
)";
}

LarkspurOptions parseLarkspurOptions(const std::vector<std::string>& words) {
    LarkspurOptions options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        // "--name=VALUE" or "--name VALUE".
        const auto value = [&] {
            std::string given;
            if (equals != std::string::npos) {
                given = word.substr(equals + 1);
            } else if (i + 1 < words.size()) {
                given = words[++i];
            }
            if (given.empty()) {
                throw CommandLineError(name + " needs a value");
            }
            return given;
        };
        if (name == "--port") {
            try {
                options.port = parsePortChoice(value());
            } catch (const std::invalid_argument& e) {
                throw CommandLineError(e.what());
            }
        } else if (name == "--trace") {
            options.trace = value();
        } else if (word == "-h" || word == "--help") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (!word.empty() && word[0] == '-') {
            throw CommandLineError("unknown option " + word);
        } else {
            throw CommandLineError("unexpected argument '" + word + "'");
        }
    }
    return options;
}

std::optional<int> answerWithoutDisplay(const std::vector<std::string>& words, std::ostream& out) {
    LarkspurOptions options;
    try {
        options = parseLarkspurOptions(words);
    } catch (const CommandLineError&) {
        return std::nullopt; // perhaps Qt's words; read again once Qt has taken them
    }
    if (!options.help && !options.version) {
        return std::nullopt;
    }
    std::ostringstream none;
    return readCommandLine(words, out, none, options);
}

std::optional<int> readCommandLine(const std::vector<std::string>& words, std::ostream& out,
                                   std::ostream& err, LarkspurOptions& options) {
    try {
        options = parseLarkspurOptions(words);
    } catch (const CommandLineError& e) {
        err << "larkspur: " << e.what() << "\nTry 'larkspur --help'.\n";
        return kUsageStatus;
    }
    if (options.help) {
        out << larkspurUsage();
        return 0;
    }
    if (options.version) {
        out << "larkspur " << programVersion() << '\n';
        return 0;
    }
    return std::nullopt;
}

} // namespace larkspur
