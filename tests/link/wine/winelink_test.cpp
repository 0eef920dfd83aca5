// The Windows build of the link library, run under Wine against the virtual board: the link
// table of the Linux end-to-end tests, through the Win32 serial calls and through Winsock to
// the network serial server. The boards run here; the Windows program reaches the board over
// COM9 and a silent board over COM8 (Wine maps the low numbers to the machine's own serial
// devices), then both over tcp://, and sends its board commands through us.
#include "tests/link/linkcases.h"
#include "tests/support/childprocess.h"
#include "tests/support/evmprocess.h"
#include "tests/support/ser2netprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

using testsupport::ChildProcess;
using testsupport::EvmProcess;
using testsupport::runToEnd;
using testsupport::Ser2netProcess;

namespace {

constexpr int kBoardPort = 9;
constexpr int kSilentPort = 8;
// A wait this long for the program's next line means it hangs; the longest case takes ~4 s.
constexpr int kLineTimeoutMs = 60000;

namespace fs = std::filesystem;

// The environment of every Wine command: our own prefix, no debug chatter, no offer to install
// Mono or Gecko, and no display of the user's.
void enterWineEnvironment() {
    ::setenv("WINEPREFIX", WINE_PREFIX, 1);
    ::setenv("WINEDEBUG", "-all", 1);
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
}

// Makes the prefix once per build folder (about ten seconds), then reuses it.
void preparePrefix() {
    enterWineEnvironment();
    if (!fs::exists(fs::path(WINE_PREFIX) / "system.reg")) {
        const ChildProcess::Outcome boot = runToEnd({WINE_PROGRAM, "wineboot", "--init"});
        ASSERT_EQ(boot.status, 0) << "wineboot failed: " << boot.err;
    }
    ASSERT_TRUE(fs::is_directory(fs::path(WINE_PREFIX) / "dosdevices"));
}

// Runs the table in the Windows program with the board's and the silent port's numbers, and
// passes the program's board commands to `board`.
void runTable(const std::string& transport, int boardPort, int silentPort, EvmProcess& board,
              bool rawTcp = false) {
    std::map<std::string, bool> reported; // case name -> passed
    {
        std::vector<std::string> command{WINE_PROGRAM, WINE_RUNNER, std::to_string(boardPort),
                                         std::to_string(silentPort)};
        if (rawTcp) {
            command.push_back("raw-tcp");
        }
        ChildProcess program(command);
        bool done = false;
        while (const std::optional<std::string> line = program.readLine(kLineTimeoutMs)) {
            if (line->rfind("control ", 0) == 0) {
                EXPECT_TRUE(program.write(board.control(line->substr(8)) + "\n"));
            } else if (line->rfind("pass ", 0) == 0) {
                reported[line->substr(5)] = true;
                std::printf("Windows build over %s: %s\n", transport.c_str(), line->c_str());
            } else if (line->rfind("fail ", 0) == 0) {
                const std::string rest = line->substr(5);
                reported[rest.substr(0, rest.find(':'))] = false;
                ADD_FAILURE() << "Windows build over " << transport << ": " << rest;
            } else if (*line == "done") {
                done = true;
                break;
            }
        }
        EXPECT_TRUE(done) << "the Windows program stopped before the end of the table";
        const auto failed = std::count_if(reported.begin(), reported.end(),
                                          [](const auto& entry) { return !entry.second; });
        EXPECT_EQ(program.finish().status, failed == 0 ? 0 : 1);
    }
    for (const linkcases::Case& test : linkcases::cases()) {
        EXPECT_TRUE(reported.count(test.name) == 1)
            << test.name << " was not reported over " << transport;
    }
}

// Both transports in one test: they share the prefix, and its server is stopped at the end.
TEST(WineLink, TheWindowsBuildPassesTheLinkTable) {
    ASSERT_NO_FATAL_FAILURE(preparePrefix());
    ::unsetenv("SUNDIAL_PORTS");
    {
        EvmProcess silent({"--fault", "silent always"});
        EvmProcess board;
        const fs::path devices = fs::path(WINE_PREFIX) / "dosdevices";
        for (const auto& [port, evm] :
             {std::pair{kSilentPort, &silent}, std::pair{kBoardPort, &board}}) {
            const fs::path com = devices / ("com" + std::to_string(port));
            fs::remove(com);
            fs::create_symlink(evm->linkPath(), com);
        }
        runTable("COM ports", kBoardPort, kSilentPort, board);
    }
    {
        // Winsock under Wine is the host's sockets: the same server the Linux build meets.
        EvmProcess silent({"--fault", "silent always"});
        EvmProcess board;
        Ser2netProcess server({{silent.linkPath(), Ser2netProcess::Kind::Raw},
                               {board.linkPath(), Ser2netProcess::Kind::Raw}});
        // Windows separates the list with ';'.
        ::setenv("SUNDIAL_PORTS", (server.url(0) + ";" + server.url(1)).c_str(), 1);
        runTable("tcp://", 2, 1, board, true);
        ::unsetenv("SUNDIAL_PORTS");
    }
    runToEnd({WINESERVER_PROGRAM, "-k"});
}

} // namespace
