// One run of larkspur-cli: the words of a command, given to the core's board session, and its
// results written to the terminal as text or JSON. Nothing here reimplements the core.
#pragma once

#include "clioptions.h"
#include "device/boardsession.h"
#include "output.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
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

class CliSession final : private SessionReporter {
public:
    explicit CliSession(CliWorld world);

    // Runs the command of `options`; the exit status.
    int run(const CliOptions& options);

private:
    // SessionReporter: the error stream, in the program's words.
    void report(const std::string& line) override;
    void warn(const std::string& line) override;

    int dispatch(const CliOptions& options);
    // Opens the link on the chosen port; the exit status.
    int openLink(const CliOptions& options);

    int ports(const CliOptions& options);
    int connect(const CliOptions& options);
    int read(const CliOptions& options);
    int write(const CliOptions& options);
    int dump(const CliOptions& options);
    int runScript(const CliOptions& options);
    int fields(const CliOptions& options);
    int getField(const CliOptions& options);
    int setField(const CliOptions& options);
    int flags(const CliOptions& options);
    int reset(const CliOptions& options);
    int version();

    // Text or JSON, as the options ask.
    Output output(const CliOptions& options) const;

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream& m_in;
    BoardSession m_session;
};

} // namespace larkspur::cli
