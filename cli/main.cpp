// larkspur-cli: the Tessaly evaluation board from a terminal, on Larkspur's core.
#include "clioptions.h"
#include "clisession.h"
#include "device/linklibrary.h"
#include "device/portrelease.h"
#include "device/settingsfile.h"
#include "device/sleeper.h"
#include "output.h"

#include <algorithm>
#include <iostream>

int main(int argc, char* argv[]) {
    using namespace larkspur::cli;
    CliOptions options;
    try {
        options = parseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "larkspur-cli: " << e.what() << "\nTry 'larkspur-cli --help'.\n";
        // The command line was refused before --json could be taken: it is looked for alone.
        const std::vector<std::string> words(argv + 1, argv + argc);
        const auto end = std::find(words.begin(), words.end(), "--");
        if (std::find(words.begin(), end, "--json") != end) {
            Output(std::cout, true, false).error({"usage", e.what(), std::nullopt});
        }
        return kUsageError;
    }
    larkspur::releasePortOnStop();
    larkspur::LinkLibrary library;
    larkspur::ThreadSleeper sleeper;
    CliSession session({std::cout, std::cerr, std::cin, library, sleeper,
                        larkspur::PortSystem::real(), larkspur::SettingsFile::defaultPath()});
    return session.run(options);
}
