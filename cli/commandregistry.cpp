#include "commandregistry.h"

#include "cli/commands/connectcommand.h"
#include "cli/commands/diffcommand.h"
#include "cli/commands/dumpcommand.h"
#include "cli/commands/exportcommand.h"
#include "cli/commands/fieldscommand.h"
#include "cli/commands/flagscommand.h"
#include "cli/commands/getcommand.h"
#include "cli/commands/helpcommand.h"
#include "cli/commands/portscommand.h"
#include "cli/commands/readcommand.h"
#include "cli/commands/resetcommand.h"
#include "cli/commands/runcommand.h"
#include "cli/commands/setcommand.h"
#include "cli/commands/writecommand.h"

#include <algorithm>
#include <array>

namespace larkspur::cli {

namespace {

// The summaries start in this column, after the synopsis and at least two blanks.
constexpr std::size_t kSummaryColumn = 24;
constexpr std::string_view kCommandIndent = "  ";

constexpr std::string_view kUsageHead = R"(usage: larkspur-cli [OPTIONS] COMMAND [ARGS]

The Tessaly evaluation board from a terminal, through the same library and core as Larkspur.

Commands:
)";

constexpr std::string_view kUsageTail = R"(
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
  --trace FILE|-        the link library's trace of every frame and call, appended to
                        FILE ("-": standard error); see the README
  --format c|linux|json export: a C header with an init table, a Linux driver's regmap
                        tables, or JSON (default: c; with --json, json)
  --json                print JSON instead of text, one document a line; an error too
  -v, --verbose         also print the writes that were made, a script's too
  --all                 ports: list the absent ones too
  --keep-going          run: go on past a line the board did not take (as Larkspur
                        does); otherwise the run stops there with status 3
  --help, --version

Exit status: 0 done, 1 usage error, 2 no library or no EVM found, 3 a link failure,
4 a script or file error; diff: 0 the same, 1 they differ.

Scripts, snapshots and history files: larkspur-script(5).
)";

// A command's lines: the synopsis, then its summary from the summary column on.
std::string commandLines(const Command& command) {
    std::string lines;
    std::string lead = std::string(kCommandIndent) + std::string(command.synopsis());
    for (const std::string_view line : command.summary()) {
        lead.resize(std::max(kSummaryColumn, lead.size() + 2), ' ');
        lines += lead + std::string(line) + '\n';
        lead.clear();
    }
    return lines;
}

} // namespace

std::span<const Command* const> commands() {
    static const PortsCommand ports;
    static const ConnectCommand connect;
    static const ReadCommand read;
    static const WriteCommand write;
    static const DumpCommand dump;
    static const DiffCommand diff;
    static const ExportCommand exporting;
    static const RunCommand run;
    static const FieldsCommand fields;
    static const GetCommand get;
    static const SetCommand set;
    static const FlagsCommand flags;
    static const ResetCommand reset;
    static const HelpCommand help;
    static const std::array<const Command*, 14> all = {
        &ports, &connect, &read, &write, &dump,  &diff,  &exporting,
        &run,   &fields,  &get,  &set,   &flags, &reset, &help,
    };
    return all;
}

const Command& findCommand(std::string_view name) {
    const auto all = commands();
    const auto found = std::find_if(
        all.begin(), all.end(), [&](const Command* command) { return command->name() == name; });
    if (found == all.end()) {
        throw UsageError("unknown command '" + std::string(name) + "'");
    }
    return **found;
}

std::string usageText() {
    std::string text(kUsageHead);
    for (const Command* command : commands()) {
        if (!command->synopsis().empty()) {
            text += commandLines(*command);
        }
    }
    return text + std::string(kUsageTail);
}

} // namespace larkspur::cli
