#include "runcommand.h"

#include "cli/output.h"

namespace larkspur::cli {

namespace {

constexpr const char* kStandardInput = "-";

} // namespace

RunCommand::RunCommand()
    : Command({.name = "run",
               .synopsis = "run FILE",
               .summary = {"a register script (\"-\": standard input)"},
               .minimumArguments = 1,
               .maximumArguments = 1}) {}

int RunCommand::run(const CliOptions& options, CommandContext& context) const {
    BoardSession& session = context.session;
    const std::string& file = options.arguments[0];
    const bool fromInput = file == kStandardInput;
    if (!fromInput) {
        if (const SessionStatus status = session.checkScript(file); status != SessionStatus::Done) {
            return exitStatus(status);
        }
    }
    if (const int status = openLink(options, session); status != kDone) {
        return status;
    }
    SessionStatus status = SessionStatus::Done;
    if (fromInput) {
        // The port is held while the script is still being written: a pipe may feed it slowly.
        status = session.runScriptInput("<stdin>", context.in, options.keepGoing);
    } else {
        status = session.runScript(file, options.keepGoing);
    }
    if (status != SessionStatus::FileError || session.scriptFailure()->line > 0) {
        context.output.scriptRun(session.scriptSummary());
    }
    return exitStatus(status);
}

} // namespace larkspur::cli
