#include "getcommand.h"

#include "cli/output.h"

namespace larkspur::cli {

GetCommand::GetCommand()
    : Command({.name = "get",
               .synopsis = "get FIELD",
               .summary = {"a field's value as its control shows it"},
               .minimumArguments = 1,
               .maximumArguments = 1}) {}

int GetCommand::run(const CliOptions& options, CommandContext& context) const {
    const BoundControl& row = BoardSession::field(options.arguments[0]);
    context.session.checkField(row, false);
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    const std::optional<BoardSession::FieldValue> value = context.session.getField(row);
    if (!value) {
        return exitStatus(context.session.linkStatus());
    }
    context.output.fieldValue(row, *value);
    return kDone;
}

} // namespace larkspur::cli
