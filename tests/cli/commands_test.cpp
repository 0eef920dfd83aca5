// Each command of larkspur-cli run as main() runs it, on the board session over a recorded link:
// what it prints (text and JSON), what it refuses before the link is touched, and its exit
// status when there is no board or the link fails. The end-to-end tests check the traffic.
#include "catalogue/controlcatalogue.h"
#include "cli/clioptions.h"
#include "cli/clisession.h"
#include "cli/commandregistry.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspur;
using namespace larkspur::cli;
using testsupport::FakeLink;
using testsupport::FakeLoader;

namespace {

using Words = std::vector<std::string>;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// The only port of the table, a free serial port; its name is no UTF-8 (a Latin-1 letter).
constexpr const char* kPort = "/x/tty\xe9";

struct Board {
    Board() {
        link.initResult = 1; // the board answers on port 1
        ports.node = [this](const std::string& path) -> std::optional<PortSystem::Node> {
            if (path != kPort) {
                return std::nullopt;
            }
            PortSystem::Node node;
            node.characterDevice = true;
            node.mode = S_IFCHR | 0666;
            return node;
        };
        ports.mayOpen = [](const std::string&) { return true; };
        ports.isSerial = [](const PortSystem::Node&) { return true; };
        ports.holders = [](const std::string&, const PortSystem::Node&) {
            return std::vector<PortSystem::Holder>{};
        };
    }

    // The words after "larkspur-cli", on port 1 over IIC at the first address unless `device`
    // is false.
    Outcome run(const Words& words, bool device = true) {
        Words all = {"--port", "1"};
        if (device) {
            all.insert(all.end(), {"--interface", "iic", "--address", "76"});
        }
        all.insert(all.end(), words.begin(), words.end());
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in(input);
        testsupport::NoSleep sleeper;
        CliSession session({out, err, in, loader, sleeper, ports, settings});
        const int status = session.run(parseCliOptions(all));
        return {status, out.str(), err.str()};
    }

    int writes() const {
        return static_cast<int>(
            std::count_if(link.calls.begin(), link.calls.end(),
                          [](const auto& call) { return call.entry == "write"; }));
    }

    FakeLink link;
    FakeLoader loader{&link.entries};
    PortSystem ports;
    std::string input; // the standard input
    std::filesystem::path settings = "/nonexistent/Larkspur.ini";
};

class CliCommands : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("SUNDIAL_PORTS", kPort, 1); }
    void TearDown() override { ::unsetenv("SUNDIAL_PORTS"); }
};

const std::string kReadFailure =
    "Communication error: RDERR0002\nPlease check interface setting.\n";

TEST_F(CliCommands, PrintTheirAnswersAsTextAndJson) {
    const struct Case {
        Words words;
        std::string text; // each without its last newline
        std::string json;
    } cases[] = {
        {{"read", "0x11", "2"},
         "0x11, 0x42\n0x12, 0x00",
         R"({"registers":[{"address":17,"value":66},{"address":18,"value":0}]})"},
        {{"-v", "write", "0x12", "1", "0xFF"},
         "0x12, 0x01\n0x13, 0xFF",
         R"({"writes":["0x12, 0x01","0x13, 0xFF"]})"},
        {{"write", "0x12", "1"}, "", ""},
        {{"dump"},
         "0x10, 0x00\n0x11, 0x42\n0x12, 0x00\n0x13, 0x00\n0x14, 0x00\n"
         "0x15, 0x02\n0x16, 0x80\n0x17, 0x00\n0x18, 0xC8\n0x19, 0x00",
         R"({"registers":[{"address":16,"value":0},{"address":17,"value":66},)"
         R"({"address":18,"value":0},{"address":19,"value":0},{"address":20,"value":0},)"
         R"({"address":21,"value":2},{"address":22,"value":128},{"address":23,"value":0},)"
         R"({"address":24,"value":200},{"address":25,"value":0}]})"},
        {{"get", "DAC L"},
         "-55.0",
         R"({"field":"tkDAC1","caption":"DAC L","value":"-55.0","register":24,)"
         R"("registerValue":200})"},
        {{"-v", "set", "DAC Serial Data Format", "24bit IIS DSP"},
         "0x11, 0x44",
         R"({"writes":["0x11, 0x44"]})"},
        {{"flags"}, "ZERO1=0 ZERO2=1", R"({"ZERO1":0,"ZERO2":1})"},
        // The command bit goes to 0 for the reset; the codec's other bits stay.
        {{"-v", "reset", "master"}, "0x10, 0x40", R"({"writes":["0x10, 0x40"]})"},
        {{"-v", "reset", "sync"}, "0x10, 0x80", R"({"writes":["0x10, 0x80"]})"},
        {{"ports"},
         std::string("1 ") + kPort + " evm",
         R"({"ports":[{"number":1,"path":"/x/tty\ufffd","state":"evm","reason":""}]})"},
    };
    for (const Case& c : cases) {
        for (const bool json : {false, true}) {
            SCOPED_TRACE(c.words[c.words[0] == "-v" ? 1 : 0] + (json ? " --json" : ""));
            Board board;
            board.link.values = {{0x11, 0x42}, {0x15, 0x02}, {0x16, 0x80}, {0x18, 0xC8}};
            Words words = c.words;
            if (json) {
                words.insert(words.begin(), "--json");
            }
            const Outcome outcome = board.run(words);
            const std::string& lines = json ? c.json : c.text;
            EXPECT_EQ(outcome.status, kDone) << outcome.err;
            EXPECT_EQ(outcome.out, lines.empty() ? "" : lines + '\n');
            EXPECT_EQ(outcome.err, "");
        }
    }
}

TEST_F(CliCommands, ConnectSetsTheBoardUpAndShowsTheRegistersItCouldRead) {
    Board board;
    board.link.values = {{0x16, 0x8A}};
    board.link.readResult = 2;
    board.link.failReadNumber = 8; // register 0x18
    const Outcome outcome = board.run({"connect"});
    EXPECT_EQ(outcome.status, kLinkFailure);
    // Register 0x10 holds the command bits, as the window's map shows them.
    EXPECT_EQ(outcome.out, "0x10, 0xC0\n0x11, 0x00\n0x12, 0x00\n0x13, 0x00\n0x14, 0x00\n"
                           "0x15, 0x00\n0x16, 0x8A\n0x17, 0x00\n0x18, ??\n0x19, 0x00\n");
    EXPECT_GT(board.writes(), 0) << "the board set-up";

    Board json;
    json.link.values = {{0x19, 0xFF}};
    const Outcome answer = json.run({"--json", "connect"});
    EXPECT_EQ(answer.status, kDone) << answer.err;
    EXPECT_NE(answer.out.find(R"({"address":25,"value":255}]})"), std::string::npos) << answer.out;
}

// The catalogue's listing and the help need no board: the library is not even loaded.
TEST_F(CliCommands, FieldsAndHelpNeedNoBoard) {
    Board board;
    board.loader.status = LinkLoader::Status::CannotLoad;
    const Outcome fields = board.run({"fields"});
    EXPECT_EQ(fields.status, kDone);
    EXPECT_EQ(static_cast<std::size_t>(std::count(fields.out.begin(), fields.out.end(), '\n')),
              controlCatalogue().size());
    EXPECT_NE(fields.out.find("cbDACFMT\tDAC Serial Data Format\tReg#11H, Bit2-0\t"),
              std::string::npos);
    // The board is not asked for its attenuation mode: both ranges are listed.
    EXPECT_NE(fields.out.find("tkDAC1\tDAC L\tReg#18H, Bit7-0\t-63.0 to 0.0 dB (wide range "
                              "-100.0 to 0.0 dB)\n"),
              std::string::npos)
        << fields.out;
    const Outcome json = board.run({"--json", "fields"});
    EXPECT_EQ(json.out.rfind(R"({"fields":[{"name":")", 0), 0u) << json.out;
    EXPECT_NE(json.out.find(R"("values":"-63.0 to 0.0 dB","wideValues":"-100.0 to 0.0 dB")"),
              std::string::npos);
    const Outcome help = board.run({"help"});
    EXPECT_EQ(help.status, kDone);
    EXPECT_EQ(help.out, usageText());
    EXPECT_EQ(board.loader.loads, 0);
}

// Without a settings file and without --interface, the program's defaults are taken, and said to
// be; a file or the option is a choice, and nothing is said.
TEST_F(CliCommands, SayWhenTheyTakeTheProgramsDefaultDevice) {
    const std::string note = "larkspur-cli: no /nonexistent/Larkspur.ini and no --interface: "
                             "taking SPI at address 0, the program's defaults; choose with "
                             "--interface iic|spi and --address N\n";
    const std::filesystem::path folder =
        ::testing::TempDir() + "cli-defaults-" +
        std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
        std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Larkspur.ini") << "[SerialInterface]\nType=0\nAddr=0x4D\n";
    const struct Case {
        Words words;
        bool device;
        bool file;
        std::string err;
        int codecType; // of channel 0 handed to _init
    } cases[] = {
        {{"read", "0x10"}, false, false, note, SUNDIAL_TYPE_SPI},
        {{"read", "0x10"}, true, false, "", SUNDIAL_TYPE_I2C},
        {{"read", "0x10"}, false, true, "", SUNDIAL_TYPE_I2C},
        {{"fields"}, false, false, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        Board board;
        board.link.initResult = 1;
        if (c.file) {
            board.settings = folder / "Larkspur.ini";
        }
        const Outcome outcome = board.run(c.words, c.device);
        EXPECT_EQ(outcome.status, kDone) << outcome.err;
        EXPECT_EQ(outcome.err, c.err);
        if (c.codecType >= 0) {
            ASSERT_FALSE(board.link.calls.empty());
            EXPECT_EQ(board.link.calls.front().codec.type, c.codecType);
        }
    }
    std::filesystem::remove_all(folder);
}

// An attenuation between two of the codec's steps goes to the one with more attenuation, and
// the command says so; one on a step, or a field of another kind, says nothing.
TEST_F(CliCommands, SetSaysWhereAnAttenuationWasRounded) {
    const struct Case {
        Words words;
        std::uint8_t mode; // register 0x16: bit 7 the wide range
        std::string err;
    } cases[] = {
        {{"set", "DAC L", "-55.3"}, 0x00, "larkspur-cli: -55.3 dB set as -55.5 dB\n"},
        {{"set", "DAC L", "-55.5"}, 0x00, ""},
        {{"set", "DAC L", "-55.5"}, 0x80, "larkspur-cli: -55.5 dB set as -56.0 dB\n"},
        {{"set", "DAC Serial Data Format", "1"}, 0x00, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[2] + (c.mode != 0 ? " wide" : ""));
        Board board;
        board.link.values = {{0x16, c.mode}};
        const Outcome outcome = board.run(c.words);
        EXPECT_EQ(outcome.status, kDone) << outcome.err;
        EXPECT_EQ(outcome.err, c.err);
    }
}

// Arguments the codec would take as something else are refused before the library is loaded.
TEST_F(CliCommands, RefuseBadArgumentsBeforeTheLink) {
    const struct Case {
        Words words;
        const char* refusal;
    } cases[] = {
        {{"read", "0x100"}, "register '0x100' is not 0 to 0xFF"},
        {{"read", "x"}, "register 'x' is no number"},
        {{"read", "0x11", "0"}, "count must be 1 to 255"},
        {{"read", "0x11", "256"}, "count must be 1 to 255"},
        {{"read", "0xF0", "17"}, "17 registers from '0xF0' go beyond 0xFF"},
        {{"write", "0x11", "256"}, "value '256' is not 0 to 255"},
        {{"write", "0xFF", "1", "2"}, "2 registers from '0xFF' go beyond 0xFF"},
        {{"get", "No Such Field"}, "no field 'No Such Field' (see larkspur-cli fields)"},
        {{"set", "DAC Master/Slave", "Slave"}, "DAC Master/Slave shows the mode only"},
        {{"--interface", "spi", "--address", "0", "get", "DAC L"},
         "over SPI the codec is not read back, so a field cannot be read or set without "
         "guessing the rest of its register; use read and write"},
        {{"reset", "hard"}, "reset takes master or sync, not 'hard'"},
    };
    for (const Case& c : cases) {
        Board board;
        const Outcome outcome = board.run(c.words);
        EXPECT_EQ(outcome.status, kUsageError) << c.refusal;
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err,
                  "larkspur-cli: " + std::string(c.refusal) + "\nTry 'larkspur-cli --help'.\n");
        EXPECT_EQ(board.loader.loads, 0) << c.refusal;
    }
    // A value is checked against the field once the mode it depends on has been read.
    Board board;
    const Outcome value = board.run({"set", "DAC L", "-64"});
    EXPECT_EQ(value.status, kUsageError);
    EXPECT_EQ(value.err.substr(0, value.err.find('\n')),
              "larkspur-cli: '-64' is not a value of DAC L: -63.0 to 0.0 dB");
    EXPECT_EQ(board.writes(), 0);
}

const Words kBoardCommands[] = {
    {"connect"},         {"read", "0x10"}, {"write", "0x10", "1"}, {"dump"},
    {"run", "-"},        {"get", "DAC L"}, {"set", "DAC L", "-1"}, {"flags"},
    {"reset", "master"},
};

TEST_F(CliCommands, WithoutABoardSayWhereTheyLooked) {
    for (const Words& words : kBoardCommands) {
        SCOPED_TRACE(words[0]);
        Board silent;
        silent.link.initResult = 0;
        const Outcome none = silent.run(words);
        EXPECT_EQ(none.status, kNoBoard);
        EXPECT_EQ(none.out, "");
        EXPECT_EQ(none.err,
                  std::string("No EVM was found\n1 ") + kPort + " silent: no board answered\n");
        EXPECT_EQ(silent.writes(), 0);

        Board noLibrary;
        noLibrary.loader.status = LinkLoader::Status::CannotLoad;
        const Outcome missing = noLibrary.run(words);
        EXPECT_EQ(missing.status, kNoBoard);
        EXPECT_EQ(missing.err, "Cannot load DLL\n");
    }
    Board noLibrary;
    noLibrary.loader.status = LinkLoader::Status::Invalid;
    const Outcome ports = noLibrary.run({"ports"});
    EXPECT_EQ(ports.status, kNoBoard);
    EXPECT_EQ(ports.err, "Invalid DLL\n");
}

// A failed transaction is reported once and gives status 3; what was read before it is shown,
// and with -v the failed write's line, as the window's history has it.
TEST_F(CliCommands, ALinkFailureGivesStatusThree) {
    const struct Case {
        Words words;
        int failingRegister; // every transaction that reaches it fails
        bool writeFails;     // its writes fail, else its reads
        std::string out;
        std::string err;
    } cases[] = {
        // Several registers go in one transaction; when it fails, they are read one at a time
        // up to the one that fails, and what was read is printed.
        {{"read", "0x11", "3"}, 0x12, false, "0x11, 0x00\n", kReadFailure},
        {{"dump"}, 0x19, false, "", kReadFailure},
        {{"get", "DAC L"}, 0x18, false, "", kReadFailure},
        {{"flags"}, 0x15, false, "", kReadFailure},
        {{"set", "DAC L", "-1"}, 0x18, false, "", kReadFailure},
        {{"reset", "sync"}, 0x10, false, "", kReadFailure},
        {{"-v", "write", "0x11", "1", "2", "3"},
         0x12,
         true,
         "0x11, 0x01\n0x12, 0x02\n",
         "Communication error: WRERR0002\n"},
        {{"-v", "run", "-"},
         0x12,
         true,
         "0x11, 0x05\n0x12, 0x06\n",
         "<stdin>:2: Communication error: WRERR0002\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[c.words[0] == "-v" ? 1 : 0]);
        Board board;
        board.input = "0x11, 0x05\n0x12, 0x06\n0x13, 0x07\n";
        board.link.failRegister = c.failingRegister;
        (c.writeFails ? board.link.writeResult : board.link.readResult) = 2;
        const Outcome outcome = board.run(c.words);
        EXPECT_EQ(outcome.status, kLinkFailure);
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_EQ(outcome.err, c.err);
        const auto last = std::find_if(board.link.calls.rbegin(), board.link.calls.rend(),
                                       [](const FakeLink::Call& call) {
                                           return call.entry == "read" || call.entry == "write";
                                       });
        ASSERT_NE(last, board.link.calls.rend());
        EXPECT_EQ(last->reg, c.failingRegister) << "something went out after the failure";
    }
}

// With --json what went wrong is an object on the output too, with the same exit status, so
// that a script need not read the error stream; a diff that finds differences is no error.
TEST_F(CliCommands, WithJsonErrorsAreObjectsOnTheOutput) {
    const std::string linkRead =
        R"({"error":{"kind":"link","message":"Communication error: RDERR0002\nPlease check )"
        R"(interface setting.","code":2,"register":18}})";
    const struct Case {
        Words words;
        int failingRegister; // its reads fail (code 2); -1: none
        std::string input;
        int status;
        std::string out;
    } cases[] = {
        {{"read", "0x11", "3"},
         0x12,
         "",
         kLinkFailure,
         R"({"registers":[{"address":17,"value":0}]})"
         "\n" +
             linkRead + "\n"},
        {{"read", "0x300"},
         -1,
         "",
         kUsageError,
         R"({"error":{"kind":"usage","message":"register '0x300' is not 0 to 0xFF",)"
         R"("code":null,"register":null}})"
         "\n"},
        {{"run", "/nonexistent/script.csv"},
         -1,
         "",
         kFileError,
         R"({"error":{"kind":"file","message":"/nonexistent/script.csv: File not exist.",)"
         R"("code":null,"register":null}})"
         "\n"},
        {{"--keep-going", "run", "-"},
         0x12,
         "0x11, 0x05\n0x12, 0x06\n0x12, 0x07\nnot a record\n",
         kFileError,
         R"({"run":{"lines":4,"writes":3,"failures":2}})"
         "\n"
         R"({"error":{"kind":"file","message":"<stdin>:2: Communication error: WRERR0002\n)"
         R"(<stdin>:4: Invalid record was found on the Register setting file.",)"
         R"("code":null,"register":null}})"
         "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.back());
        Board board;
        board.input = c.input;
        board.link.failRegister = c.failingRegister;
        board.link.readResult = 2;
        board.link.writeResult = 2;
        Words words = c.words;
        words.insert(words.begin(), "--json");
        const Outcome outcome = board.run(words);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_FALSE(outcome.err.empty()) << "the error stream says it too";
    }
    Board none;
    none.link.initResult = 0;
    const Outcome absent = none.run({"--json", "dump"});
    EXPECT_EQ(absent.status, kNoBoard);
    EXPECT_TRUE(
        absent.out.starts_with(R"({"error":{"kind":"no-board","message":"No EVM was found)"))
        << absent.out;
}

// Script writes are no history lines, as in the window, but -v shows them as it shows a
// write's; --json sums the run up.
TEST_F(CliCommands, ScriptsRunFromTheInputAndThoseThatCannotRunAreFileErrors) {
    Board board;
    board.input = "0x11, 0x05\nsleep, 10\n0x12, 0x06\n";
    const Outcome run = board.run({"-v", "--json", "run", "-"});
    EXPECT_EQ(run.status, kDone) << run.err;
    EXPECT_EQ(run.out, "{\"writes\":[\"0x11, 0x05\",\"0x12, 0x06\"]}\n"
                       "{\"run\":{\"lines\":3,\"writes\":2,\"failures\":0}}\n");
    EXPECT_EQ(board.writes(), 2);
    EXPECT_EQ(board.run({"run", "-"}).out, "") << "without -v and --json a run prints nothing";

    Board missing;
    const Outcome absent = missing.run({"run", "/nonexistent/script.csv"});
    EXPECT_EQ(absent.status, kFileError);
    EXPECT_EQ(absent.err, "/nonexistent/script.csv: File not exist.\n");
    EXPECT_EQ(missing.loader.loads, 0) << "a script that is not there needs no board";

    Board bad;
    bad.input = "0x11, 0x05\nnot a record\n0x12, 0x06\n";
    const Outcome stopped = bad.run({"run", "-"});
    EXPECT_EQ(stopped.status, kFileError);
    EXPECT_EQ(stopped.err, "<stdin>:2: Invalid record was found on the Register setting file.\n");
    EXPECT_EQ(bad.writes(), 1);
}

} // namespace
