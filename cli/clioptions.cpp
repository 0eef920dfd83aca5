#include "clioptions.h"

#include "device/numbernotation.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <stdexcept>

namespace larkspur::cli {

namespace {

struct CommandShape {
    const char* name;
    std::size_t minimumArguments;
    std::size_t maximumArguments;
};

constexpr std::size_t kMany = 256;

constexpr std::array<CommandShape, 12> kCommands = {{
    {"ports", 0, 0},
    {"connect", 0, 0},
    {"read", 1, 2},
    {"write", 2, kMany},
    {"dump", 0, 0},
    {"run", 1, 1},
    {"fields", 0, 0},
    {"get", 1, 1},
    {"set", 2, 2},
    {"flags", 0, 0},
    {"reset", 1, 1},
    {"help", 0, 0},
}};

// The value of an option given as "--name VALUE" or "--name=VALUE".
// The value given as "--name=VALUE" or as the next word. "--name=" with nothing after the
// sign is an empty value, not a request to take the next word.
std::string optionValue(const std::vector<std::string>& words, std::size_t& i,
                        const std::string& name, const std::optional<std::string>& attached) {
    std::string value;
    if (attached) {
        value = *attached;
    } else if (i + 1 < words.size()) {
        value = words[++i];
    }
    if (value.empty()) {
        throw UsageError(name + " needs a value");
    }
    return value;
}

} // namespace

const char* usageText() {
    return R"(usage: larkspur-cli [OPTIONS] COMMAND [ARGS]

The Tessaly evaluation board from a terminal, through the same library and core as Larkspur.

Commands:
  ports                 every port of the library's table that exists, and what it is:
                        evm, silent, busy, no-permission, not-serial (--all: absent ones too);
                        for a URL also closed, refused, unreachable, unknown-host, bad-url
  connect               what Larkspur does when it starts: search, board set-up, codec
                        read-back over IIC (defaults over SPI); prints the registers
  read REG [COUNT]      read codec registers; one "0x11, 0x05" line per register
  write REG VALUE...    write codec registers from REG on (-v: the history lines)
  dump                  the register snapshot, as Larkspur saves it
  run FILE              a register script ("-": standard input)
  fields                the controls' bit-fields, by the caption Larkspur shows
  get FIELD             a field's value as its control shows it
  set FIELD VALUE       a field: item text or number, on/off, attenuation in dB
  flags                 the two zero-detect flags
  reset master|sync     the MRST or SRST command, as the buttons give it

Register addresses are sent as they stand, as in Larkspur's direct access and scripts: over
SPI the device address is in bits 6 and 5 (device 1: register 0x11 is 0x31). Only "connect"
sends the board set-up sequence; a freshly powered board needs it once (or Larkspur).

Options:
  --port N|PATH|URL     a port number of the library's table, a device path, or a port
                        behind a network serial server: tcp://HOST:PORT (raw TCP, as
                        ser2net serves it) or rfc2217://HOST:PORT (telnet, RFC 2217)
                        (default: the search Larkspur makes)
  --interface iic|spi   (default: Larkspur.ini, which is only read)
  --address N           76 to 79 over IIC, 0 to 3 over SPI (default: Larkspur.ini)
  --json                print one JSON document instead of text
  -v, --verbose         also print the writes that were made
  --all                 ports: list the absent ones too
  --keep-going          run: go on past a line the board did not take (as Larkspur
                        does); otherwise the run stops there with status 3
  --help, --version

Exit status: 0 done, 1 usage error, 2 no library or no EVM found, 3 a link failure,
4 a script or file error.
)";
}

CliOptions parseCliOptions(const std::vector<std::string>& words) {
    CliOptions options;
    bool optionsEnded = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // "-55" is an attenuation, not an option.
        const bool negativeNumber =
            word.size() > 1 && word[0] == '-' &&
            (std::isdigit(static_cast<unsigned char>(word[1])) != 0 || word[1] == '.');
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-" || negativeNumber) {
            positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const std::optional<std::string> attached =
            equals == std::string::npos ? std::nullopt
                                        : std::optional<std::string>(word.substr(equals + 1));
        if (name == "--json") {
            options.json = true;
        } else if (name == "-v" || name == "--verbose") {
            options.verbose = true;
        } else if (name == "--all") {
            options.all = true;
        } else if (name == "--keep-going") {
            options.keepGoing = true;
        } else if (name == "-h" || name == "--help") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--port") {
            try {
                options.port = parsePortChoice(optionValue(words, i, name, attached));
            } catch (const std::invalid_argument& e) {
                throw UsageError(e.what());
            }
        } else if (name == "--interface") {
            const std::string value = optionValue(words, i, name, attached);
            if (value == "iic" || value == "IIC" || value == "i2c") {
                options.interfaceIndex = 0;
            } else if (value == "spi" || value == "SPI") {
                options.interfaceIndex = 1;
            } else {
                throw UsageError("--interface is iic or spi, not '" + value + "'");
            }
        } else if (name == "--address") {
            const std::string value = optionValue(words, i, name, attached);
            const auto number = parseNumber(value);
            if (!number) {
                throw UsageError("--address takes a number, not '" + value + "'");
            }
            options.address = *number;
        } else {
            throw UsageError("unknown option " + word);
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (positional.empty()) {
        throw UsageError("no command given");
    }
    options.command = positional.front();
    options.arguments.assign(positional.begin() + 1, positional.end());
    const auto shape = std::find_if(kCommands.begin(), kCommands.end(), [&](const auto& entry) {
        return options.command == entry.name;
    });
    if (shape == kCommands.end()) {
        throw UsageError("unknown command '" + options.command + "'");
    }
    if (options.arguments.size() < shape->minimumArguments ||
        options.arguments.size() > shape->maximumArguments) {
        throw UsageError("wrong number of arguments for " + options.command);
    }
    if (options.command == "help") {
        options.help = true;
    }
    return options;
}

} // namespace larkspur::cli
