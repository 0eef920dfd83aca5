// larkspur-cli as a user runs it, against the virtual board: exact traffic, output, exit status.
#include "catalogue/controlcatalogue.h"
#include "cli/clioptions.h"
#include "device/linklibrary.h"
#include "tests/support/childprocess.h"
#include "tests/support/evmprocess.h"
#include "tests/support/ser2netprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using larkspur::BoundControl;
using larkspur::controlCatalogue;
using larkspur::findControl;
using testsupport::ChildProcess;
using testsupport::EvmProcess;
using testsupport::frameHex;
using testsupport::requestsOf;

namespace {

using Outcome = ChildProcess::Outcome;

Outcome runCli(const std::vector<std::string>& arguments, const std::string& input = {}) {
    std::vector<std::string> command = {LARKSPUR_CLI_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return testsupport::runToEnd(command, input);
}

// A larkspur-cli that keeps running until its input is closed.
ChildProcess startCli(const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {LARKSPUR_CLI_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return ChildProcess(command);
}

std::string codecRead(int reg, int count = 1) {
    return frameHex({0x10, 0x01, 0x4C, reg, count, 0x00});
}

std::string codecWrite(int reg, std::vector<int> values) {
    std::vector<int> payload = {0x00, 0x01, 0x4C, reg};
    payload.insert(payload.end(), values.begin(), values.end());
    return frameHex(payload);
}

// What _init sends over IIC: the probe and the eight channel set-ups.
std::vector<std::string> opening() {
    std::vector<std::string> requests = {"1E 03 8F 00 FF 01 AF", "1E 03 50 00 01 00 72"};
    for (int k = 1; k < 7; ++k) {
        requests.push_back(frameHex({0x50 + k, 0x00, 0x00}));
    }
    requests.push_back("1E 03 57 00 03 00 7B");
    return requests;
}

std::vector<std::string> openingThen(std::vector<std::string> more) {
    std::vector<std::string> requests = opening();
    requests.insert(requests.end(), more.begin(), more.end());
    return requests;
}

class CliOnBoard : public ::testing::Test {
protected:
    void SetUp() override {
        m_config =
            std::filesystem::path(::testing::TempDir()) / ("cli-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_config);
        std::ofstream(m_config / "Larkspur.ini") << "[SerialInterface]\nType=0\nAddr=0x4C\n";
        ::setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
        ::unsetenv("SUNDIAL_PORTS");
    }
    void TearDown() override {
        std::filesystem::remove_all(m_config);
        if (!m_userFolder.empty()) {
            std::filesystem::remove_all(m_userFolder);
        }
    }

    std::vector<std::string> port() const { return {"--port", m_evm.linkPath()}; }
    std::vector<std::string> args(std::vector<std::string> more) const {
        std::vector<std::string> all = port();
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }
    // The requests the board has seen since the last call, once `lines` lines are in.
    std::vector<std::string> requests(std::size_t lines) {
        const auto traffic = m_evm.transcriptAfter(lines);
        m_evm.mark();
        return requestsOf(traffic);
    }

    // Who runs the programs that exclusive use must stop, which does not stop root.
    struct OrdinaryUser {
        std::vector<std::string> words; // before a program's path: as root, setpriv's
        std::string cli = LARKSPUR_CLI_PATH;
        std::string larkspur = LARKSPUR_PATH;
        std::filesystem::path home; // the settings, and room for a runtime folder
        std::string failure;        // why root could not set it up
    };

    // As anyone else, the programs as built. As root, nobody, with the board's terminal open to
    // it, and the programs, the link library and the settings copied into a fresh folder under
    // /tmp that it can reach: the build folder may lie in root's home (0700).
    OrdinaryUser asOrdinaryUser() {
        namespace fs = std::filesystem;
        OrdinaryUser user;
        user.home = m_config;
        if (::geteuid() != 0) {
            return user;
        }
        char resolved[PATH_MAX];
        if (::realpath(m_evm.linkPath().c_str(), resolved) != nullptr) {
            ::chmod(resolved, 0666);
        }
        fs::permissions(fs::path(m_evm.linkPath()).parent_path(),
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        char pattern[] = "/tmp/larkspur-user-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            user.failure = std::string("cannot make a folder under /tmp: ") + std::strerror(errno);
            return user;
        }
        m_userFolder = pattern;
        const fs::path bin = m_userFolder / "bin";
        user.home = m_userFolder / "home";
        user.cli = (bin / fs::path(LARKSPUR_CLI_PATH).filename()).string();
        user.larkspur = (bin / fs::path(LARKSPUR_PATH).filename()).string();
        // Modes set outright, whatever root's umask is.
        const fs::perms readable = fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec;
        const std::pair<fs::path, fs::path> copies[] = {
            {LARKSPUR_CLI_PATH, user.cli},
            {LARKSPUR_PATH, user.larkspur},
            {SUNDIAL_LIBRARY_PATH, bin / larkspur::LinkLibrary::fileName()}};
        try {
            fs::create_directory(bin);
            fs::create_directory(user.home);
            for (const fs::path& folder : {m_userFolder, bin}) {
                fs::permissions(folder, readable);
            }
            fs::permissions(user.home, fs::perms::all);
            for (const auto& [from, to] : copies) {
                fs::copy_file(from, to);
                fs::permissions(to, readable);
            }
            fs::copy_file(m_config / "Larkspur.ini", user.home / "Larkspur.ini");
            fs::permissions(user.home / "Larkspur.ini",
                            fs::perms::owner_write | fs::perms::owner_read | fs::perms::group_read |
                                fs::perms::others_read);
        } catch (const fs::filesystem_error& e) {
            user.failure = std::string("cannot copy the programs for nobody: ") + e.what();
            return user;
        }
        user.words = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        return user;
    }

    // The next program opens the port: a read as `user` goes through.
    void expectPortOpensFor(const OrdinaryUser& user) {
        std::vector<std::string> next = user.words;
        next.push_back(user.cli);
        for (const std::string& word : args({"read", "0x10"})) {
            next.push_back(word);
        }
        const Outcome read = testsupport::runToEnd(next);
        EXPECT_EQ(read.status, 0) << read.err;
        EXPECT_EQ(read.out, "0x10, 0xC0\n");
    }

    std::filesystem::path m_config;
    std::filesystem::path m_userFolder; // root's copies for an ordinary user, when made
    EvmProcess m_evm;
};

// 20 lines of opening (probe, set-ups), four per read or write.
constexpr std::size_t kOpeningLines = 20;

TEST_F(CliOnBoard, WriteSendsTheWriteAloneAfterOpening) {
    const Outcome written = runCli(args({"write", "0x11", "0x05"}));
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(requests(kOpeningLines + 4), openingThen({codecWrite(0x11, {0x05})}))
        << "no board set-up, nothing else";
    EXPECT_EQ(m_evm.control("get 0x11"), "ok 0x05");

    const Outcome verbose = runCli(args({"-v", "write", "0x12", "1", "2"}));
    EXPECT_EQ(verbose.out, "0x12, 0x01\n0x13, 0x02\n");
    EXPECT_EQ(requests(kOpeningLines + 4), openingThen({codecWrite(0x12, {0x01, 0x02})}))
        << "consecutive registers in one write";
    EXPECT_EQ(m_evm.control("get 0x13"), "ok 0x02");
}

TEST_F(CliOnBoard, ReadPrintsHistoryLines) {
    ASSERT_EQ(m_evm.control("reg 0x11 0x05"), "ok");
    const Outcome read = runCli(args({"read", "0x11", "2"}));
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "0x11, 0x05\n0x12, 0x00\n");
    EXPECT_EQ(requests(kOpeningLines + 4), openingThen({codecRead(0x11, 2)}))
        << "consecutive registers in one read";

    const Outcome dumped = runCli(args({"dump"}));
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(dumped.out, "0x10, 0xC0\n0x11, 0x05\n0x12, 0x00\n0x13, 0x00\n0x14, 0x00\n"
                          "0x15, 0x00\n0x16, 0x00\n0x17, 0x00\n0x18, 0xFF\n0x19, 0xFF\n");
    EXPECT_EQ(requests(kOpeningLines + 4), openingThen({codecRead(0x10, 10)}));
}

TEST_F(CliOnBoard, ConnectSetsTheBoardUpAndReadsTheCodec) {
    ASSERT_EQ(m_evm.control("reg 0x16 0x8A"), "ok");
    const Outcome connected = runCli(args({"connect"}));
    EXPECT_EQ(connected.status, 0) << connected.err;
    EXPECT_EQ(connected.out, "0x10, 0xC0\n0x11, 0x00\n0x12, 0x00\n0x13, 0x00\n0x14, 0x00\n"
                             "0x15, 0x00\n0x16, 0x8A\n0x17, 0x00\n0x18, 0xFF\n0x19, 0xFF\n");
    const auto sent = requests(kOpeningLines + 19 * 4);
    ASSERT_EQ(sent.size(), 9u + 9u + 10u);
    EXPECT_EQ(sent[9], frameHex({0x07, 0x03, 0, 0, 0x00, 0}));
    EXPECT_EQ(sent[17], frameHex({0x07, 0x03, 0x37, 0x37, 0x00, 1})) << "the codec is the slave";
    EXPECT_EQ(sent[18], codecRead(0x10));
    EXPECT_EQ(sent[27], codecRead(0x19));
}

// --trace: the link library's trace in a file or on standard error, beside an unchanged output;
// a trace file that cannot be opened is said once and fails nothing.
TEST_F(CliOnBoard, TheTraceGoesToItsFileOrStandardErrorAndFailsNothing) {
    const std::filesystem::path file = m_config / "trace.txt";
    const Outcome toFile = runCli(args({"--trace", file.string(), "read", "0x10"}));
    EXPECT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "0x10, 0xC0\n");
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find(" tx 1E 03 8F 00 FF 01 AF ; probe port=1"), std::string::npos);
    EXPECT_NE(lines.back().find(" call ; _close result=1 ms="), std::string::npos);

    // A commented script's run: each write and its result, the comments sending nothing.
    const std::filesystem::path script = m_config / "commented.csv";
    std::ofstream(script) << "# set-up\r\n0x11, 0x05 # format\r\n\r\nsleep 1\r\n0x12 0x06\r\n";
    std::filesystem::remove(file);
    const Outcome ran = runCli(args({"--trace", file.string(), "run", script.string()}));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(m_evm.control("get 0x12"), "ok 0x06");
    std::ifstream ranTrace(file);
    std::vector<std::string> writes;
    for (std::string line; std::getline(ranTrace, line);) {
        if (line.find(" call ; _writeData ") != std::string::npos) {
            writes.push_back(line.substr(line.find("_writeData"), 41));
        }
    }
    EXPECT_EQ(writes, (std::vector<std::string>{"_writeData ch=0 reg=0x11 count=1 result=0",
                                                "_writeData ch=0 reg=0x12 count=1 result=0"}));

    const Outcome toError = runCli(args({"--trace=-", "read", "0x10"}));
    EXPECT_EQ(toError.status, 0);
    EXPECT_EQ(toError.out, "0x10, 0xC0\n");
    EXPECT_NE(toError.err.find(" ; read-reply values=C0\n"), std::string::npos) << toError.err;

    const std::string nowhere = (m_config / "no-folder" / "trace.txt").string();
    const Outcome unopened = runCli(args({"--trace", nowhere, "read", "0x10"}));
    EXPECT_EQ(unopened.status, 0);
    EXPECT_EQ(unopened.out, "0x10, 0xC0\n");
    EXPECT_EQ(unopened.err,
              "Sundial: cannot open the trace file " + nowhere + ": No such file or directory\n");
}

// diff: files against each other or against the board, 0 the same and 1 different as diff(1);
// a bad file is a file error before the board is touched.
TEST_F(CliOnBoard, DiffNamesEachFieldThatDiffersAndSaysByItsStatus) {
    const std::filesystem::path a = m_config / "a.csv";
    const std::filesystem::path b = m_config / "b.csv";
    std::ofstream(a) << "0x10, 0xC0\r\n0x18, 0xE6\r\n";
    std::ofstream(b) << "# today\r\n0x11, 0x05\r\n0x15, 0x01\r\n0x18, 0xD7 # DAC L\r\n";
    const Outcome same = runCli(args({"diff", a.string(), a.string()}));
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");
    const Outcome files = runCli(args({"diff", a.string(), b.string()}));
    EXPECT_EQ(files.status, 1) << files.err;
    EXPECT_EQ(files.out, "DAC Serial Data Format (cbDACFMT)  24bit IIS \u2192 24bit Left Justified "
                         "DSP\nDAC L (tkDAC1)  -12.5 dB \u2192 -20.0 dB\n0x15 bits 0x01  0x00 "
                         "\u2192 0x01\n");
    const Outcome json = runCli(args({"--json", "diff", a.string(), b.string()}));
    const QJsonObject answer =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_FALSE(answer["equal"].toBool());
    EXPECT_EQ(answer["fields"].toArray().size(), 2);
    EXPECT_EQ(answer["fields"].toArray()[1].toObject()["new"].toString(), "-20.0");
    EXPECT_EQ(answer["bits"].toArray()[0].toObject()["mask"].toInt(), 1);

    ASSERT_EQ(m_evm.control("reg 0x18 0xE6"), "ok");
    const Outcome board = runCli(args({"diff", a.string()}));
    EXPECT_EQ(board.status, 0) << board.out << board.err;
    ASSERT_EQ(m_evm.control("reg 0x13 0x02"), "ok");
    const Outcome changed = runCli(args({"diff", a.string()}));
    EXPECT_EQ(changed.status, 1);
    EXPECT_EQ(changed.out, "DAC R-ch Invert (cInvDAC2)  off \u2192 on\n");

    std::ofstream(b) << "0x11, 0x300\r\n";
    const Outcome bad = runCli(args({"diff", a.string(), b.string()}));
    EXPECT_EQ(bad.status, 4);
    EXPECT_EQ(bad.err, b.string() + ":1: Invalid register data!\n");
}

TEST_F(CliOnBoard, JsonAnswersParseBack) {
    ASSERT_EQ(m_evm.control("zero 2"), "ok");
    const Outcome dumped = runCli(args({"--json", "dump"}));
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const QJsonArray registers =
        QJsonDocument::fromJson(QByteArray::fromStdString(dumped.out))["registers"].toArray();
    ASSERT_EQ(registers.size(), 10);
    EXPECT_EQ(registers[5].toObject()["address"].toInt(), 0x15);
    EXPECT_EQ(registers[5].toObject()["value"].toInt(), 2);

    const Outcome flags = runCli(args({"flags", "--json"}));
    const QJsonObject zero = QJsonDocument::fromJson(QByteArray::fromStdString(flags.out)).object();
    EXPECT_EQ(zero["ZERO1"].toInt(), 0);
    EXPECT_EQ(zero["ZERO2"].toInt(), 1);
    EXPECT_EQ(runCli(args({"flags"})).out, "ZERO1=0 ZERO2=1\n");
}

// Every field's place in JSON is the catalogue's, not its tooltip's reading of it.
TEST(CliProgram, FieldsInJsonGiveTheCataloguesBitFields) {
    const Outcome fields = runCli({"fields", "--json"});
    ASSERT_EQ(fields.status, 0) << fields.err;
    const QJsonArray list =
        QJsonDocument::fromJson(QByteArray::fromStdString(fields.out))["fields"].toArray();
    const std::vector<BoundControl>& catalogue = controlCatalogue();
    ASSERT_EQ(static_cast<std::size_t>(list.size()), catalogue.size());
    for (std::size_t k = 0; k < catalogue.size(); ++k) {
        const BoundControl& row = catalogue[k];
        const QJsonObject field = list[static_cast<qsizetype>(k)].toObject();
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(field["name"].toString().toStdString(), row.name);
        EXPECT_EQ(field["register"].toInt(-1), row.reg);
        EXPECT_EQ(field["shift"].toInt(-1), row.shift);
        EXPECT_EQ(field["width"].toInt(-1), row.width);
        EXPECT_EQ(field["tooltip"].toString().toStdString(), row.tooltip);
        EXPECT_EQ(field["settable"].toBool(), row.enabled);
        EXPECT_FALSE(field.contains("bits"));
    }
    const QJsonObject format =
        list[static_cast<qsizetype>(findControl("cbDACFMT") - catalogue.data())].toObject();
    EXPECT_EQ(format["shift"].toInt(), 0);
    EXPECT_EQ(format["width"].toInt(), 4);
    EXPECT_EQ(format["tooltip"].toString(), "Reg#11H, Bit2-0");
}

TEST_F(CliOnBoard, SetIsAReadModifyWriteOfTheCodecsValue) {
    ASSERT_EQ(m_evm.control("reg 0x11 0xA0"), "ok");
    const Outcome set = runCli(args({"set", "DAC Serial Data Format", "24bit IIS DSP"}));
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(m_evm.control("get 0x11"), "ok 0xA4");
    EXPECT_EQ(requests(kOpeningLines + 8),
              openingThen({codecRead(0x11), codecWrite(0x11, {0xA4})}));
    EXPECT_EQ(runCli(args({"get", "cbDACFMT"})).out, "24bit IIS DSP\n");
}

TEST_F(CliOnBoard, AttenuationInDecibelsFollowsTheMode) {
    ASSERT_EQ(m_evm.control("reg 0x16 0x80"), "ok"); // wide range: 1 dB steps
    const Outcome set = runCli(args({"set", "DAC L", "-55"}));
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(m_evm.control("get 0x18"), "ok 0xC8");
    EXPECT_EQ(requests(kOpeningLines + 12),
              openingThen({codecRead(0x18), codecRead(0x16), codecWrite(0x18, {200})}));
    EXPECT_EQ(runCli(args({"get", "DAC L"})).out, "-55.0\n");
    ASSERT_EQ(m_evm.control("reg 0x16 0x00"), "ok"); // fine: the same position is -27.5 dB
    EXPECT_EQ(runCli(args({"get", "DAC L"})).out, "-27.5\n");
}

TEST_F(CliOnBoard, ScriptErrorsNameTheLineAndStopTheRun) {
    const std::string script = (m_config / "bad.csv").string();
    std::ofstream(script) << "0x11, 0x02\r\nsleep, 1\r\nnot a record\r\n0x12, 0x07\r\n";
    const Outcome run = runCli(args({"run", script}));
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.err, script + ":3: Invalid record was found on the Register setting file.\n");
    EXPECT_EQ(m_evm.control("get 0x11"), "ok 0x02");
    EXPECT_EQ(m_evm.control("get 0x12"), "ok 0x00");

    const Outcome fromInput = runCli(args({"run", "-"}), "0x12, 0x300\n");
    EXPECT_EQ(fromInput.status, 4);
    EXPECT_EQ(fromInput.err, "<stdin>:1: Invalid register data!\n");

    const Outcome missing = runCli(args({"run", script + ".none"}));
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.err, script + ".none: File not exist.\n");

    // Lines that name no register, or hide the rest of the file behind a NUL, are no records.
    const struct {
        std::string text;
        std::string err;
    } refused[] = {
        {"0x110, 0x05\n", "<stdin>:1: Invalid record was found on the Register setting file.\n"},
        {"-240, 0x05\n", "<stdin>:1: Invalid record was found on the Register setting file.\n"},
        {std::string("0x13, 0x01\n\0\n0x12, 0x02\n", 23),
         "<stdin>:2: Invalid record was found on the Register setting file.\n"},
    };
    for (const auto& c : refused) {
        m_evm.control("reg 0x10 0xC0");
        const Outcome bad = runCli(args({"run", "-"}), c.text);
        EXPECT_EQ(bad.status, 4) << c.err;
        EXPECT_EQ(bad.err, c.err);
        EXPECT_EQ(m_evm.control("get 0x10"), "ok 0xC0") << "0x110 is not 0x10";
    }
    EXPECT_EQ(m_evm.control("get 0x12"), "ok 0x00") << "nothing after the NUL ran";
    EXPECT_EQ(m_evm.control("get 0x13"), "ok 0x01");
}

TEST_F(CliOnBoard, ExitStatusSaysWhatWentWrong) {
    EXPECT_EQ(runCli({"frobnicate"}).status, 1);
    EXPECT_EQ(runCli(args({"write", "0x11", "300"})).status, 1);
    EXPECT_EQ(runCli(args({"get", "Mute"})).err,
              "larkspur-cli: 'Mute' names several fields: cDAC1, cDAC2\n"
              "Try 'larkspur-cli --help'.\n");
    EXPECT_EQ(runCli(args({"--interface", "spi", "set", "DAC L", "-1"})).status, 1)
        << "over SPI a bit-field cannot be read back";

    const Outcome absent = runCli({"--port", m_config.string() + "/no-tty", "read", "0x10"});
    EXPECT_EQ(absent.status, 2);
    EXPECT_EQ(absent.err,
              "No EVM was found\n1 " + m_config.string() + "/no-tty absent: no such device\n");

    ASSERT_EQ(m_evm.control("fault no-ack read"), "ok");
    const Outcome failed = runCli(args({"read", "0x10"}));
    EXPECT_EQ(failed.status, 3);
    EXPECT_EQ(failed.err, "Communication error: RDERR0002\nPlease check interface setting.\n");
    EXPECT_EQ(failed.out, "");
}

// Arguments that would reach the codec as something else are usage errors, and nothing is sent.
TEST_F(CliOnBoard, OutOfRangeArgumentsAreUsageErrors) {
    struct Case {
        std::vector<std::string> words;
        const char* message; // the first line of standard error
    };
    const Case cases[] = {
        {{"write", "0x111", "0x55"}, "larkspur-cli: register '0x111' is not 0 to 0xFF"},
        {{"read", "0x110"}, "larkspur-cli: register '0x110' is not 0 to 0xFF"},
        {{"read", "-1"}, "larkspur-cli: register '-1' is not 0 to 0xFF"},
        {{"read", "0xF0", "20"}, "larkspur-cli: 20 registers from '0xF0' go beyond 0xFF"},
        {{"write", "0xFF", "1", "2"}, "larkspur-cli: 2 registers from '0xFF' go beyond 0xFF"},
        {{"write", "0x11", "0x100"}, "larkspur-cli: value '0x100' is not 0 to 255"},
        {{"set", "DAC L", "1e9"}, "larkspur-cli: '1e9' is not a value of DAC L: -63.0 to 0.0 dB"},
        {{"set", "DAC L", "-64"}, "larkspur-cli: '-64' is not a value of DAC L: -63.0 to 0.0 dB"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = runCli(args(c.words));
        EXPECT_EQ(outcome.status, 1) << c.words[0] << " " << c.words[1];
        EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')), c.message);
    }
    EXPECT_EQ(m_evm.control("get 0x11"), "ok 0x00") << "nothing was written";

    // "--port=" with nothing after it does not take the next word for its value.
    const Outcome empty = runCli({"--port=", "read", "0x10"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err.substr(0, empty.err.find('\n')), "larkspur-cli: --port needs a value");
    EXPECT_EQ(runCli({"--interface=", "fields"}).status, 1);
}

TEST_F(CliOnBoard, ScriptsStopAtTheFirstLineTheBoardDidNotTake) {
    const std::string script = (m_config / "five.csv").string();
    std::ofstream(script) << "\xEF\xBB\xBF"
                             "0x11,0x01\r\n0x12,0x02\r\n0x13,0x03\r\n0x14,0x04\r\n";
    const Outcome clean = runCli(args({"run", script}));
    EXPECT_EQ(clean.status, 0) << "a byte-order mark before line 1: " << clean.err;
    EXPECT_EQ(m_evm.control("get 0x14"), "ok 0x04");

    ASSERT_EQ(m_evm.control("fault wrong-ack write reg 0x12 once"), "ok");
    const Outcome stopped = runCli(args({"run", script}));
    EXPECT_EQ(stopped.status, 3);
    EXPECT_EQ(stopped.err, script + ":2: Communication error: WRERR0002\n");
    EXPECT_EQ(m_evm.control("reg 0x14 0"), "ok");

    ASSERT_EQ(m_evm.control("fault wrong-ack write reg 0x12 once"), "ok");
    const Outcome onward = runCli(args({"--keep-going", "run", script}));
    EXPECT_EQ(onward.status, 3);
    EXPECT_EQ(onward.err, script + ":2: Communication error: WRERR0002\n");
    EXPECT_EQ(m_evm.control("get 0x14"), "ok 0x04") << "the run went on past line 2";

    // A script that is not there needs no board to say so.
    ::setenv("SUNDIAL_PORTS", (m_config / "no-tty").c_str(), 1);
    const Outcome missing = runCli({"run", (m_config / "missing.csv").string()});
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.err, (m_config / "missing.csv").string() + ": File not exist.\n");
}

TEST_F(CliOnBoard, OutputsSayWhatTheyMean) {
    // A port is named by its state.
    ::setenv("SUNDIAL_PORTS", m_evm.linkPath().c_str(), 1);
    const Outcome ports = runCli({"--json", "ports"});
    const QJsonObject first = QJsonDocument::fromJson(QByteArray::fromStdString(ports.out))["ports"]
                                  .toArray()[0]
                                  .toObject();
    EXPECT_EQ(first["state"].toString(), "evm") << ports.out;

    // A register that could not be read has no value.
    ASSERT_EQ(m_evm.control("fault wrong-ack read reg 0x18 once"), "ok");
    const Outcome json = runCli(args({"--json", "connect"}));
    EXPECT_EQ(json.status, 3);
    // One document per line: the answer, then the error.
    const QList<QByteArray> documents = QByteArray::fromStdString(json.out).trimmed().split('\n');
    ASSERT_EQ(documents.size(), 2) << json.out;
    const QJsonArray registers = QJsonDocument::fromJson(documents[0])["registers"].toArray();
    ASSERT_EQ(registers.size(), 10);
    const QJsonObject error = QJsonDocument::fromJson(documents[1])["error"].toObject();
    EXPECT_EQ(error["code"].toInt(), 3) << "the acknowledgement was wrong";
    EXPECT_EQ(error["register"].toInt(), 0x18);
    EXPECT_TRUE(registers[8].toObject()["value"].isNull()) << json.out;
    EXPECT_EQ(registers[9].toObject()["value"].toInt(), 0xFF);
    ASSERT_EQ(m_evm.control("fault wrong-ack read reg 0x18 once"), "ok");
    const Outcome text = runCli(args({"connect"}));
    EXPECT_EQ(text.status, 3);
    EXPECT_NE(text.out.find("0x17, 0x00\n0x18, ??\n0x19, 0xFF\n"), std::string::npos) << text.out;

    // A device name with colons, as every /dev/serial/by-path/ name has.
    const std::filesystem::path byPath = m_config / "pci-0000:00:14.0-usb-0:1:1.0-port0";
    std::filesystem::create_symlink(m_evm.linkPath(), byPath);
    const Outcome named = runCli({"--port", byPath.string(), "--interface", "iic", "read", "0x10"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "0x10, 0xC0\n");

    // Settings that cannot be taken are said to be so.
    std::ofstream(m_config / "Larkspur.ini", std::ios::binary) << std::string("\0\x01\x02", 3);
    const Outcome binary = runCli({"--port", m_evm.linkPath(), "fields"});
    EXPECT_EQ(binary.status, 0);
    const Outcome binaryRead = runCli({"--port", m_evm.linkPath(), "flags"});
    EXPECT_NE(binaryRead.err.find("(it holds NUL bytes); using the default interface"),
              std::string::npos)
        << binaryRead.err;
}

// A larkspur-cli that finds no library says where it looked, for each command that needs one.
TEST_F(CliOnBoard, WithoutTheLibraryItSaysWhereItLooked) {
    const std::filesystem::path alone = m_config / "alone";
    std::filesystem::create_directories(alone);
    const std::filesystem::path cli = alone / "larkspur-cli";
    std::filesystem::copy_file(LARKSPUR_CLI_PATH, cli);
    ::setenv("SUNDIAL_PORTS", m_evm.linkPath().c_str(), 1);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"ports"}, std::vector<std::string>{"read", "0x10"}}) {
        SCOPED_TRACE(words[0]);
        std::vector<std::string> command = {cli.string()};
        command.insert(command.end(), words.begin(), words.end());
        const Outcome outcome = testsupport::runToEnd(command);
        if (outcome.status == 0) {
            GTEST_SKIP() << "a Sundial library is installed where the loader looks";
        }
        EXPECT_EQ(outcome.status, 2);
        const std::string head = "Cannot load DLL\nSundial's library was looked for as:\n" +
                                 (alone / "libSundial.so").string() + ": not there\nlibSundial.so";
        EXPECT_EQ(outcome.err.rfind(head, 0), 0u) << outcome.err;
        EXPECT_NE(outcome.err.find((m_config / "lib").string()), std::string::npos)
            << "the installation's library folder: " << outcome.err;
    }
}

// Whatever stands under the settings file's name, the command goes on as without one: a
// folder, a device that never ends, a fifo no one writes.
TEST_F(CliOnBoard, SettingsThatAreNoFileAreSaidToBeUnreadable) {
    const std::filesystem::path settings = m_config / "Larkspur.ini";
    const struct Case {
        const char* name;
        std::function<void()> make;
        const char* problem;
    } cases[] = {
        {"a folder", [&] { std::filesystem::create_directory(settings); }, "it is a folder"},
        {"a link to /dev/zero", [&] { std::filesystem::create_symlink("/dev/zero", settings); },
         "it is not a regular file"},
        {"a fifo", [&] { ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0); },
         "it is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(settings);
        c.make();
        const Outcome read = runCli(args({"--interface", "iic", "read", "0x10"}));
        EXPECT_EQ(read.status, 0) << read.err;
        EXPECT_EQ(read.out, "0x10, 0xC0\n");
        EXPECT_EQ(read.err, "larkspur-cli: The settings file \"" + settings.string() +
                                "\" cannot be read (" + c.problem +
                                "); using the default interface.\n");
    }
}

TEST_F(CliOnBoard, AHeldPortIsReportedBusyWithItsHolder) {
    // A second larkspur-cli holds the port while it waits for its script on standard input.
    ChildProcess holder = startCli(args({"run", "-"}));
    m_evm.markAfter(kOpeningLines);
    const Outcome second = runCli(args({"read", "0x10"}));
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.err.rfind("No EVM was found\n1 " + m_evm.linkPath() +
                                   " busy: held by "
                                   "larkspur-cli (PID ",
                               0),
              0u)
        << second.err;
    EXPECT_EQ(holder.finish().status, 0);

    ::setenv("SUNDIAL_PORTS", (m_evm.linkPath() + ":" + m_config.string() + "/none").c_str(), 1);
    const Outcome ports = runCli({"ports"});
    EXPECT_EQ(ports.status, 0) << ports.err;
    EXPECT_EQ(ports.out.rfind("1 " + m_evm.linkPath() + " evm", 0), 0u) << ports.out;
    EXPECT_EQ(ports.out.find("none"), std::string::npos) << "absent ports only with --all";
    EXPECT_NE(runCli({"ports", "--all"}).out.find("2 " + m_config.string() + "/none absent"),
              std::string::npos);
}

TEST_F(CliOnBoard, ANetworkPortIsCheckedAndNamedByWhatTheServerDid) {
    // A local port bound without listening refuses connections.
    const int refusing = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(refusing, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::getsockname(refusing, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string url = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    const std::string refused =
        " refused: connection refused: nothing listens on that port (is the server running?)\n";
    ::setenv("SUNDIAL_PORTS", (m_evm.linkPath() + ":" + url).c_str(), 1);
    EXPECT_EQ(runCli({"ports"}).out, "1 " + m_evm.linkPath() + " evm\n2 " + url + refused);
    const Outcome read = runCli({"--port", url, "read", "0x10"});
    ::close(refusing);
    EXPECT_EQ(read.status, 2);
    EXPECT_EQ(read.err, "No EVM was found\n1 " + url + refused) << "the URL is the only port";
}

// Through the real network serial server: connect names the board by URL, and the port report
// tells the board's port, a silent board's and one the server serves to another client.
TEST_F(CliOnBoard, ThroughANetworkSerialServer) {
    using Server = testsupport::Ser2netProcess;
    EvmProcess silent({"--fault", "silent always"});
    EvmProcess held;
    Server server({{m_evm.linkPath(), Server::Kind::Rfc2217},
                   {silent.linkPath(), Server::Kind::Raw},
                   {held.linkPath(), Server::Kind::Raw}});
    const Outcome connected = runCli({"--port", server.url(0), "--interface", "iic", "connect"});
    EXPECT_EQ(connected.status, 0) << connected.err;
    EXPECT_EQ(connected.out.rfind("0x10, 0xC0\n", 0), 0u) << connected.out;
    EXPECT_EQ(requests(kOpeningLines).front(), "1E 03 8F 00 FF 01 AF");

    // A run that reads its script from its input holds its port until the input ends.
    ChildProcess holder = startCli({"--port", server.url(2), "run", "-"});
    held.transcriptAfter(kOpeningLines);
    ::setenv("SUNDIAL_PORTS", (server.url(0) + ":" + server.url(1) + ":" + server.url(2)).c_str(),
             1);
    const Outcome ports = runCli({"ports"});
    EXPECT_EQ(holder.finish().status, 0);
    EXPECT_EQ(ports.out, "1 " + server.url(0) + " evm\n2 " + server.url(1) +
                             " silent: connected, but the board is silent\n3 " + server.url(2) +
                             " busy: the server is serving another client on this port (it takes "
                             "one at a time)\n");
}

// A UUCP lock file of a live process (minicom, picocom) takes the port as a flock does.
TEST_F(CliOnBoard, AUucpLockIsHonoured) {
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(m_evm.linkPath().c_str(), resolved), nullptr);
    const std::string name = std::filesystem::path(resolved).filename().string();
    std::string lockPath;
    for (const char* folder : {"/run/lock/", "/var/lock/"}) {
        if (::access(folder, W_OK) == 0) {
            lockPath = std::string(folder) + "LCK.." + name;
            break;
        }
    }
    if (lockPath.empty()) {
        GTEST_SKIP() << "no lock folder this user may write";
    }
    ChildProcess sleeper({"/bin/sleep", "30"});
    std::ofstream(lockPath) << "      " << sleeper.pid() << "\n";
    ASSERT_EQ(m_evm.control("reg 0x11 0x21"), "ok");
    const Outcome write = runCli(args({"write", "0x11", "0x99"}));
    ::setenv("SUNDIAL_PORTS", m_evm.linkPath().c_str(), 1);
    const Outcome ports = runCli({"ports"});
    std::filesystem::remove(lockPath);
    EXPECT_EQ(write.status, 2) << write.out;
    EXPECT_NE(write.err.find("busy: held by sleep (PID " + std::to_string(sleeper.pid()) + ")"),
              std::string::npos)
        << write.err;
    EXPECT_EQ(m_evm.control("get 0x11"), "ok 0x21") << "the codec was written";
    EXPECT_NE(ports.out.find("busy: held by sleep"), std::string::npos) << ports.out;
    // A lock whose holder is gone is stale and stops nothing.
    std::ofstream(lockPath) << "  999999\n";
    const Outcome stale = runCli(args({"write", "0x11", "0x99"}));
    std::filesystem::remove(lockPath);
    EXPECT_EQ(stale.status, 0) << stale.err;
    EXPECT_EQ(m_evm.control("get 0x11"), "ok 0x99");
}

// Stopped by a signal while it holds the port, either program gives the port's exclusive use
// back: the next program opens it, although the board's side still holds the terminal.
// Exclusive use does not stop root, so this runs as an ordinary user.
TEST_F(CliOnBoard, AStopBySignalGivesThePortBack) {
    if (::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "running as root without setpriv to become an ordinary user";
    }
    const OrdinaryUser user = asOrdinaryUser();
    if (!user.failure.empty()) {
        GTEST_SKIP() << "running as root, and " << user.failure;
    }
    // Larkspur runs offscreen, with its settings and a runtime folder of its own.
    ::setenv("SUNDIAL_PORTS", m_evm.linkPath().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("XDG_CONFIG_HOME", user.home.c_str(), 1);
    const std::filesystem::path runtime = user.home / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    struct Case {
        const char* name;
        std::vector<std::string> command;
        std::size_t linesWhenHolding; // the board's transcript once the port is held
        int signalNumber;
    };
    const std::vector<std::string> cliRun = args({"run", "-"}); // waits for its script
    std::vector<std::string> cli = {user.cli};
    cli.insert(cli.end(), cliRun.begin(), cliRun.end());
    // Larkspur is up once it has read the codec: probe, set-ups, board writes, ten reads.
    const Case cases[] = {{"larkspur-cli, SIGINT", cli, kOpeningLines, SIGINT},
                          {"larkspur-cli, SIGTERM", cli, kOpeningLines, SIGTERM},
                          {"Larkspur, SIGTERM", {user.larkspur}, 20 + 19 * 4, SIGTERM}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> command = user.words;
        command.insert(command.end(), c.command.begin(), c.command.end());
        m_evm.mark();
        ChildProcess holder(command);
        try {
            m_evm.transcriptAfter(c.linesWhenHolding);
        } catch (const std::exception& e) {
            const Outcome failed = holder.finish();
            FAIL() << e.what() << "; it said: " << failed.err;
        }
        ASSERT_EQ(::kill(holder.pid(), c.signalNumber), 0);
        holder.finish();
        expectPortOpensFor(user);
    }
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(CliProgram, LinksNoQt) {
    const std::string command = std::string("ldd ") + LARKSPUR_CLI_PATH + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        listing += buffer;
    }
    ASSERT_EQ(::pclose(pipe), 0) << listing;
    EXPECT_NE(listing.find("libc.so"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("Qt"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("libX"), std::string::npos) << listing;
}

TEST(CliOptionsTest, OptionsAnywhereAndShapesOfCommands) {
    using larkspur::cli::parseCliOptions;
    using larkspur::cli::UsageError;
    const auto options = parseCliOptions({"set", "--port", "33", "DAC L", "-55.5", "--json"});
    EXPECT_EQ(options.command, "set");
    EXPECT_EQ(options.arguments, (std::vector<std::string>{"DAC L", "-55.5"}));
    EXPECT_EQ(options.port.port(), 33);
    EXPECT_TRUE(options.json);
    EXPECT_EQ(parseCliOptions({"--port=/dev/ttyUSB0", "dump"}).port.name, "/dev/ttyUSB0");
    // A URL is one port by name, as a path is: the library's port 1.
    const auto url = parseCliOptions({"--port", "rfc2217://[fd00::7]:2217", "ports"}).port;
    EXPECT_EQ(url.name, "rfc2217://[fd00::7]:2217");
    EXPECT_EQ(url.port(), 1);
    EXPECT_EQ(parseCliOptions({"--interface", "spi", "--address", "2", "dump"}).address, 2);
    EXPECT_EQ(parseCliOptions({"write", "--", "-v", "1"}).arguments,
              (std::vector<std::string>{"-v", "1"}));
    EXPECT_TRUE(parseCliOptions({"--help"}).help);
    EXPECT_EQ(parseCliOptions({"--trace", "-", "dump"}).trace, "-");
    EXPECT_EQ(parseCliOptions({"dump", "--trace=t.txt"}).trace, "t.txt");
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{},
                                               {"read"},
                                               {"read", "1", "2", "3"},
                                               {"write", "0x10"},
                                               {"set", "x"},
                                               {"dump", "--port"},
                                               {"dump", "--trace"},
                                               {"dump", "--port", "zero"},
                                               {"dump", "--port", "telnet://rack:23"},
                                               {"dump", "--port", "rack:3001"},
                                               {"dump", "--interface", "usb"},
                                               {"dump", "--address", "x"},
                                               {"dump", "--colour"},
                                               {"erase"}}) {
        EXPECT_THROW(parseCliOptions(bad), UsageError) << ::testing::PrintToString(bad);
    }
}

} // namespace
