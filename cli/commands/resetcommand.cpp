#include "resetcommand.h"

#include "cli/output.h"

namespace larkspur::cli {

ResetCommand::ResetCommand()
    : Command({.name = "reset",
               .synopsis = "reset master|sync",
               .summary = {"the MRST or SRST command, as the buttons give it"},
               .minimumArguments = 1,
               .maximumArguments = 1}) {}

int ResetCommand::run(const CliOptions& options, CommandContext& context) const {
    const std::string& which = options.arguments[0];
    BoardSession::checkReset(which);
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    context.session.reset(which);
    context.output.writes(context.session.writes());
    return exitStatus(context.session.linkStatus());
}

} // namespace larkspur::cli
