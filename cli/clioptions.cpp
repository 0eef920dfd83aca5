#include "clioptions.h"

#include "commandregistry.h"
#include "notation/numbernotation.h"
#include "session/boardsession.h"

#include <cctype>
#include <optional>
#include <stdexcept>

namespace larkspur::cli {

namespace {

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
        } else if (name == "--format") {
            options.format = optionValue(words, i, name, attached);
        } else if (name == "--trace") {
            options.trace = optionValue(words, i, name, attached);
        } else if (name == "--interface") {
            const std::string value = optionValue(words, i, name, attached);
            if (value == "iic" || value == "IIC" || value == "i2c") {
                options.interfaceIndex = kInterfaceI2c;
            } else if (value == "spi" || value == "SPI") {
                options.interfaceIndex = kInterfaceSpi;
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
    const Command& command = findCommand(options.command);
    command.checkArgumentCount(options.arguments.size());
    // The core checks the address against the interface it settles on, which may come from
    // Larkspur.ini; given both here, the address is checked as it is read.
    if (command.selectsDevice() && options.interfaceIndex && options.address) {
        BoardSession::addressIndex(*options.interfaceIndex, *options.address);
    }
    return options;
}

} // namespace larkspur::cli
