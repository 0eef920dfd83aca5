// One run of larkspur-cli: the command the words name, run on the core's board session, its
// results written to the terminal as text or JSON. Nothing here reimplements the core.
#pragma once

#include "clioptions.h"
#include "session/boardsession.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace larkspur::cli {

// What a run uses of the world; main() gives the real one, tests what they need.
struct CliWorld {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    LinkLoader& loader;
    Sleeper& sleeper;
    PortSystem ports;
    std::filesystem::path settingsPath;
};

class Output;

class CliSession final : private SessionReporter {
public:
    explicit CliSession(CliWorld world);

    // Runs the command of `options`; the exit status.
    int run(const CliOptions& options);

private:
    // SessionReporter: the error stream, in the program's words.
    void report(const std::string& line) override;
    void warn(const std::string& line) override;

    int version();
    // With --json, the run's error as an object on the output (Output::error).
    void tellError(Output& output, int status, const std::string& usage);

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream& m_in;
    std::filesystem::path m_settingsPath;
    BoardSession m_session;
    std::vector<std::string> m_reported; // this run's messages, for its JSON error
};

} // namespace larkspur::cli
