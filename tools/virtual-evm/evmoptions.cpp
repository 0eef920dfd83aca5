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

// Milliseconds as "1", "16" or "0.5", up to a second: as microseconds.
unsigned latencyOption(const std::string& value) {
    constexpr unsigned kMaxUs = 1000000;
    unsigned long long us = 0;
    std::size_t i = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9' && us <= kMaxUs; ++i) {
        us = us * 10 + static_cast<unsigned>(value[i] - '0');
    }
    const std::size_t whole = i;
    us *= 1000;
    if (i < value.size() && value[i] == '.') {
        unsigned long long scale = 100;
        for (++i; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
            us += static_cast<unsigned>(value[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (whole == 0 || i != value.size() || us > kMaxUs) {
        throw UsageError("--latency must be 0 to 1000 milliseconds, not '" + value + "'");
    }
    return static_cast<unsigned>(us);
}

} // namespace

const char* usageText() {
    return "usage: virtual-evm [--link PATH] [--log FILE] [--control PATH] [--i2c-address N]\n"
           "                   [--spi-device N] [--zero N] [--fault WORDS] [--baud N]\n"
           "                   [--latency MS]\n"
           "       virtual-evm --send CONTROL_PATH WORDS...\n"
           "\n"
           "The evaluation board on a pseudo-terminal, for the link library without hardware.\n"
           "\n"
           "Options:\n"
           "  --link PATH          a symlink to the pseudo-terminal's device, replaced atomically\n"
           "  --log FILE           the transcript: one line per frame in each direction\n"
           "  --control PATH       a Unix socket taking one control command per line\n"
           "  --i2c-address N      the codec's IIC address, 76 to 79 (default 76)\n"
           "  --spi-device N       the codec's SPI device, 0 to 3 (default 0)\n"
           "  --zero N             the zero-detect flags, 0 to 3\n"
           "  --fault WORDS        a fault armed from the start (the words of 'fault')\n"
           "  --baud N             each byte takes its time on the line at N baud (8N1), both\n"
           "                       ways (default: at once)\n"
           "  --latency MS         a USB adapter's turnaround: the board's bytes reach the PC\n"
           "                       MS milliseconds (decimals allowed) after their last bit\n"
           "  --send PATH WORDS... send one control command, print the reply (exit 0 on ok)\n"
           "  -h, --help\n"
           "\n"
           "Control commands (replies \"ok ...\" or \"error: ...\"):\n"
           "  ping                       ok\n"
           "  fault KIND [ARGS] [behind] [probe|setup|read|write|any] [reg R] [once|always|N]\n"
           "                             arm a fault for the next matching request(s); KIND is\n"
           "                             silent, no-ack, wrong-ack, no-reply, pieces, late,\n"
           "                             garbage, bad-start, bad-length, bad-sum, split,\n"
           "                             babble, slow or repeat\n"
           "  fault-add KIND ...         the same, armed behind those already armed (16 at most)\n"
           "  fault off | fault          clear all / show the first\n"
           "  zero N                     the zero-detect flags\n"
           "  reg R V | get R            set / read a codec register\n"
           "  set-board R V | get-board R  the same for board registers\n"
           "  reset                      codec registers to their defaults\n"
           "  i2c-address N | spi-device N  which codec address or device answers\n"
           "  echo on|off                whether reply headers repeat the request\n"
           "  unplug | replug | device   close the pty / make a new one / its path\n"
           "  idle                       ok once nothing is due any more\n"
           "  release                    send the replies held by 'late held'\n"
           "  help                       the commands, in one line\n"
           "The README (tools/virtual-evm/README.md) gives every fault's words and effect.\n";
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
                           name == "--fault" || name == "--baud" || name == "--latency";
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
        } else if (name == "--baud") {
            options.baud = numberOption(name, *value, 50, 4000000);
        } else if (name == "--latency") {
            options.latencyUs = latencyOption(*value);
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
