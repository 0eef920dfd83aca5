// A command of larkspur-cli: its name, its lines in the usage text, the number of arguments it
// takes, and what it does. The registry lists them; the usage text, the checks of the command
// line and the dispatch all come from there.
#pragma once

#include "cli/clioptions.h"
#include "session/boardsession.h"

#include <cstddef>
#include <iosfwd>
#include <string_view>
#include <utility>
#include <vector>

namespace larkspur::cli {

class Output;

// What a command runs on.
struct CommandContext {
    BoardSession& session;
    Output& output;
    std::istream& in;  // run -: the script
    std::ostream& err; // notes beside the answer ("-55.3 dB set as -55.5 dB")
};

struct CommandShape {
    std::string_view name = {};
    // As the usage text's "Commands:" section shows it: the command with its arguments, then
    // what it does, one entry per line. No synopsis: the command is not listed there.
    std::string_view synopsis = {};
    std::vector<std::string_view> summary = {};
    std::size_t minimumArguments = 0;
    std::size_t maximumArguments = 0;
    // Whether it works on the codec: the interface and address are settled (and checked) before
    // it runs. The catalogue's listing and the help need neither.
    bool selectsDevice = true;
};

class Command {
public:
    explicit Command(CommandShape shape) : m_shape(std::move(shape)) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    std::string_view name() const { return m_shape.name; }
    std::string_view synopsis() const { return m_shape.synopsis; }
    const std::vector<std::string_view>& summary() const { return m_shape.summary; }
    bool selectsDevice() const { return m_shape.selectsDevice; }
    // Throws UsageError when `count` arguments are too few or too many for the command.
    void checkArgumentCount(std::size_t count) const;

    // Checks its arguments (UsageError), does its work and prints the result; the exit status.
    virtual int run(const CliOptions& options, CommandContext& context) const = 0;

private:
    CommandShape m_shape;
};

// The exit status of a session's result.
int exitStatus(SessionStatus status);
// Opens the link on the port of `options`; the exit status.
int openLink(const CliOptions& options, BoardSession& session);
// A setup to work on: the snapshot or history file `file` played into the registers, or with no
// file the codec read now (the link opened first). The exit status; `image` holds the setup
// when it is kDone.
int setupImage(const CliOptions& options, BoardSession& session, const std::string* file,
               std::optional<RegisterImage>& image);

} // namespace larkspur::cli
