// The list larkspur-cli's commands come from: the usage text it makes, the arguments each
// command is allowed, and a dispatch that refuses a name it does not know.
#include "cli/clioptions.h"
#include "cli/clisession.h"
#include "cli/commandregistry.h"
#include "parserefusal.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace larkspur::cli;

using testsupport::refusal;

namespace {

// --help as users and the manual have known it, to the byte.
constexpr std::string_view kUsage = R"(usage: larkspur-cli [OPTIONS] COMMAND [ARGS]

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
  diff A [B]            snapshot (or history) A against the board, or against B: each
                        field that differs, then bits outside any field; 1 if they differ
  export [SNAPSHOT]     the setup of SNAPSHOT (or the board) for firmware: --format c
                        (a header with an init table), linux (regmap tables) or json
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

// How many arguments each command takes, as scripts have relied on.
struct Shape {
    const char* name;
    std::size_t fewest;
    std::size_t most;
};
constexpr Shape kShapes[] = {
    {"ports", 0, 0}, {"connect", 0, 0}, {"read", 1, 2},  {"write", 2, 256}, {"dump", 0, 0},
    {"diff", 1, 2},  {"export", 0, 1},  {"run", 1, 1},   {"fields", 0, 0},  {"get", 1, 1},
    {"set", 2, 2},   {"flags", 0, 0},   {"reset", 1, 1}, {"help", 0, 0},
};

std::vector<std::string> call(const char* name, std::size_t arguments) {
    std::vector<std::string> words = {name};
    words.resize(arguments + 1, "1");
    return words;
}

TEST(CliCommandRegistry, TheUsageTextIsUnchanged) {
    EXPECT_EQ(usageText(), kUsage);
}

TEST(CliCommandRegistry, EachCommandTakesItsNumberOfArguments) {
    ASSERT_EQ(commands().size(), std::size(kShapes)) << "a command this table does not know";
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.name);
        const std::string wrong = std::string("wrong number of arguments for ") + shape.name;
        EXPECT_EQ(refusal(call(shape.name, shape.fewest)), "");
        EXPECT_EQ(refusal(call(shape.name, shape.most)), "");
        EXPECT_EQ(refusal(call(shape.name, shape.most + 1)), wrong);
        if (shape.fewest > 0) {
            EXPECT_EQ(refusal(call(shape.name, shape.fewest - 1)), wrong);
        }
    }
    EXPECT_EQ(refusal({"frobnicate"}), "unknown command 'frobnicate'");
}

// A command no list holds runs nothing, rather than falling through to another.
TEST(CliCommandRegistry, TheSessionRunsNoUnknownCommand) {
    testsupport::FakeLink link;
    testsupport::FakeLoader loader(&link.entries);
    testsupport::NoSleep sleeper;
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    CliSession session(
        {out, err, in, loader, sleeper, larkspur::PortSystem{}, "/nonexistent/Larkspur.ini"});
    CliOptions options;
    options.command = "erase";
    options.arguments = {"master"};
    EXPECT_EQ(session.run(options), kUsageError);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "larkspur-cli: unknown command 'erase'\nTry 'larkspur-cli --help'.\n");
    EXPECT_EQ(loader.loads, 0);
    EXPECT_TRUE(link.calls.empty());
}

} // namespace
