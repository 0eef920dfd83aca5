// The windowed program's command line, read before any window; the program started with it.
#include "app/commandline.h"
#include "device/programversion.h"
#include "tests/support/childprocess.h"
#include "tests/support/evmprocess.h"
#include "tests/support/ser2netprocess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sstream>

namespace {

struct WordsCase {
    const char* name;
    std::vector<std::string> words;
    std::optional<int> status; // none: the program starts
    std::string out;           // its start
    std::string err;
    int port = 0;
    std::string trace = {};
};

class LarkspurCommandLine : public ::testing::TestWithParam<WordsCase> {};

TEST_P(LarkspurCommandLine, StartsOnThePortOrEndsWithAnAnswer) {
    const WordsCase& c = GetParam();
    std::ostringstream out, err;
    larkspur::LarkspurOptions options;
    EXPECT_EQ(larkspur::readCommandLine(c.words, out, err, options), c.status);
    EXPECT_EQ(out.str().substr(0, c.out.size()), c.out);
    EXPECT_EQ(c.out.empty(), out.str().empty());
    EXPECT_EQ(err.str(), c.err.empty() ? "" : "larkspur: " + c.err + "\nTry 'larkspur --help'.\n");
    EXPECT_EQ(options.port.port(), c.port);
    EXPECT_EQ(options.trace, c.trace);
}

INSTANTIATE_TEST_SUITE_P(
    Words, LarkspurCommandLine,
    ::testing::Values(
        WordsCase{"none", {}, {}, "", ""}, WordsCase{"number", {"--port", "33"}, {}, "", "", 33},
        WordsCase{"url", {"--port=rfc2217://rack:2217"}, {}, "", "", 1},
        WordsCase{
            "help", {"--help"}, 0, "usage: larkspur [--port N|PATH|URL] [--trace FILE|-]\n", ""},
        WordsCase{"trace",
                  {"--trace", "/tmp/link trace.txt", "--port", "2"},
                  {},
                  "",
                  "",
                  2,
                  "/tmp/link trace.txt"},
        WordsCase{"traceToStandardError", {"--trace=-"}, {}, "", "", 0, "-"},
        WordsCase{"traceNoValue", {"--trace"}, 2, "", "--trace needs a value"},
        WordsCase{"version",
                  {"--version"},
                  0,
                  std::string("larkspur ") + larkspur::programVersion() + "\n",
                  ""},
        WordsCase{"unknown", {"--colour"}, 2, "", "unknown option --colour"},
        WordsCase{"noValue", {"--port"}, 2, "", "--port needs a value"},
        WordsCase{"badUrl",
                  {"--port", "tcp://rack"},
                  2,
                  "",
                  "--port 'tcp://rack' is not a valid port URL: use tcp://HOST:PORT or "
                  "rfc2217://HOST:PORT"},
        WordsCase{"operand", {"startup.csv"}, 2, "", "unexpected argument 'startup.csv'"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(LarkspurCommandLine, AnswersWithoutADisplayOnlyToItsOwnWords) {
    std::ostringstream out;
    EXPECT_EQ(larkspur::answerWithoutDisplay({"--version"}, out), 0);
    EXPECT_EQ(larkspur::answerWithoutDisplay({"-platform", "offscreen", "--help"}, out),
              std::nullopt)
        << "perhaps Qt's words";
    EXPECT_EQ(out.str(), std::string("larkspur ") + larkspur::programVersion() + "\n");
}

// Named by its path or by a URL of a network serial server in front of it, the port is the
// only one the program opens: the board gets the probe, and the set-ups that follow only a
// board found.
TEST(LarkspurProgram, APortByPathOrUrlIsTheOnlyOneItOpens) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SUNDIAL_PORTS", "/nonexistent/tty", 1);      // the search would find nothing
    ::setenv("XDG_CONFIG_HOME", "/nonexistent/config", 1); // no settings file: the defaults
    for (const bool url : {false, true}) {
        testsupport::EvmProcess evm;
        std::optional<testsupport::Ser2netProcess> server;
        std::string port = evm.linkPath();
        if (url) {
            server.emplace(std::vector<testsupport::Ser2netProcess::Served>{
                {evm.linkPath(), testsupport::Ser2netProcess::Kind::Rfc2217}});
            port = server->url(0);
        }
        testsupport::ChildProcess larkspur({LARKSPUR_PATH, "--port=" + port});
        std::vector<std::string> traffic;
        try {
            traffic = evm.transcriptAfter(20); // the probe, its answer and the set-ups
        } catch (const std::exception& e) {
            ::kill(larkspur.pid(), SIGTERM); // a box may be waiting for an answer
            FAIL() << port << ": " << e.what() << "; it said: " << larkspur.finish().err;
        }
        ::kill(larkspur.pid(), SIGTERM);
        larkspur.finish();
        const std::vector<std::string> requests = testsupport::requestsOf(traffic);
        ASSERT_GE(requests.size(), 9u) << port;
        EXPECT_EQ(requests[0], "1E 03 8F 00 FF 01 AF") << port;
        EXPECT_EQ(requests[1].rfind("1E 03 50 00 ", 0), 0u) << port << ": " << requests[1];
    }
}

} // namespace
