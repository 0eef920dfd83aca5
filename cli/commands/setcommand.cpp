#include "setcommand.h"

#include "cli/output.h"

namespace larkspur::cli {

SetCommand::SetCommand()
    : Command({.name = "set",
               .synopsis = "set FIELD VALUE",
               .summary = {"a field: item text or number, on/off, attenuation in dB"},
               .minimumArguments = 2,
               .maximumArguments = 2}) {}

int SetCommand::run(const CliOptions& options, CommandContext& context) const {
    const BoundControl& row = BoardSession::field(options.arguments[0]);
    context.session.checkField(row, true);
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    // The value is checked against the field once the mode it depends on has been read.
    context.session.setField(row, options.arguments[1]);
    context.output.writes(context.session.writes());
    return exitStatus(context.session.linkStatus());
}

} // namespace larkspur::cli
