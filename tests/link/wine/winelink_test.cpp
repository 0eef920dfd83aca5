// The Windows build of the link library, run under Wine against the virtual board: the link
// table of the Linux end-to-end tests, through the Win32 serial calls. The boards run here; the
// Windows program reaches the board over COM9 and a silent board over COM8 (Wine maps the low
// numbers to the machine's own serial devices), and sends its board commands through us.
#include "childprocess.h"
#include "evmprocess.h"
#include "linkcases.h"

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

TEST(WineLink, TheWindowsBuildPassesTheLinkTable) {
    enterWineEnvironment();
    // A prefix made once per build folder (about ten seconds), then reused.
    if (!fs::exists(fs::path(WINE_PREFIX) / "system.reg")) {
        const ChildProcess::Outcome boot = runToEnd({WINE_PROGRAM, "wineboot", "--init"});
        ASSERT_EQ(boot.status, 0) << "wineboot failed: " << boot.err;
    }
    const fs::path devices = fs::path(WINE_PREFIX) / "dosdevices";
    ASSERT_TRUE(fs::is_directory(devices));

    EvmProcess silent({"--fault", "silent always"});
    EvmProcess board;
    for (const auto& [port, evm] :
         {std::pair{kSilentPort, &silent}, std::pair{kBoardPort, &board}}) {
        const fs::path com = devices / ("com" + std::to_string(port));
        fs::remove(com);
        fs::create_symlink(evm->linkPath(), com);
    }

    std::map<std::string, bool> reported; // case name -> passed
    {
        ChildProcess program(
            {WINE_PROGRAM, WINE_RUNNER, std::to_string(kBoardPort), std::to_string(kSilentPort)});
        bool done = false;
        while (const std::optional<std::string> line = program.readLine(kLineTimeoutMs)) {
            if (line->rfind("control ", 0) == 0) {
                EXPECT_TRUE(program.write(board.control(line->substr(8)) + "\n"));
            } else if (line->rfind("pass ", 0) == 0) {
                reported[line->substr(5)] = true;
                std::printf("Windows build: %s\n", line->c_str());
            } else if (line->rfind("fail ", 0) == 0) {
                const std::string rest = line->substr(5);
                reported[rest.substr(0, rest.find(':'))] = false;
                ADD_FAILURE() << "Windows build: " << rest;
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
        EXPECT_TRUE(reported.count(test.name) == 1) << test.name << " was not reported";
    }
    runToEnd({WINESERVER_PROGRAM, "-k"});
}

} // namespace
