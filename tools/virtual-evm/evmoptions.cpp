#include "evmoptions.h"

#include "protocol.h"

#include <sys/un.h>

namespace virtualevm {

namespace {

unsigned numberOption(const std::string& name, const std::string& value, unsigned long low,
                      unsigned long high) {
    const auto number = parseNumber(value);
    if (!number || *number < low || *number > high) {
        throw UsageError(name + " must be " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not '" + value + "'");
    }
    return static_cast<unsigned>(*number);
}

} // namespace

const char* usageText() {
    return "usage: virtual-evm [--link PATH] [--log FILE] [--control PATH] [--i2c-address N]\n"
           "                   [--spi-device N] [--zero N] [--fault WORDS]\n"
           "       virtual-evm --send CONTROL_PATH WORDS...\n";
}

EvmOptions parseOptions(const std::vector<std::string>& args) {
    EvmOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name.rfind("--", 0) != 0) {
            throw UsageError("unexpected argument '" + name + "'");
        }
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const bool known = name == "--link" || name == "--log" || name == "--control" ||
                           name == "--i2c-address" || name == "--spi-device" || name == "--zero" ||
                           name == "--fault";
        if (!known) {
            throw UsageError("unknown option '" + name + "'");
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                throw UsageError(name + " needs a value");
            }
            value = args[++i];
        }
        if (name == "--link" || name == "--log" || name == "--control") {
            if (value->empty()) {
                throw UsageError(name + " needs a path");
            }
            if (name == "--link") {
                options.linkPath = *value;
            } else if (name == "--log") {
                options.logPath = *value;
            } else {
                if (value->size() >= sizeof(sockaddr_un::sun_path)) {
                    throw UsageError("control socket path too long: " + *value);
                }
                options.controlPath = *value;
            }
        } else if (name == "--i2c-address") {
            options.i2cAddress = static_cast<uint8_t>(numberOption(name, *value, 76, 79));
        } else if (name == "--spi-device") {
            options.spiDevice = numberOption(name, *value, 0, 3);
        } else if (name == "--zero") {
            options.zeroFlags = static_cast<uint8_t>(numberOption(name, *value, 0, 3));
        } else {
            const std::vector<std::string> words = splitWords(*value, true);
            if (words.size() == 1 && words[0] == "off") {
                options.fault.reset();
                continue;
            }
            try {
                options.fault = Fault::parse(words);
            } catch (const std::invalid_argument& e) {
                throw UsageError(std::string("--fault: ") + e.what());
            }
        }
    }
    return options;
}

} // namespace virtualevm
