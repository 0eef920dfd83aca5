#include "setcommand.h"

#include "cli/output.h"
#include "notation/decimalnotation.h"

#include <ostream>

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
    const std::string& typed = options.arguments[1];
    const std::optional<BoardSession::FieldValue> set = context.session.setField(row, typed);
    if (set && row.kind == ControlKind::Track) {
        // The codec takes 0.5 or 1 dB steps: a value between two is said to have moved.
        const std::optional<float> asked = parseDecimal(typed, '.');
        const std::optional<float> taken = parseDecimal(set->text, '.');
        if (asked && taken && *asked != *taken) {
            context.err << "larkspur-cli: " << typed << " dB set as " << set->text << " dB\n";
        }
    }
    context.output.writes(context.session.writes());
    return exitStatus(context.session.linkStatus());
}

} // namespace larkspur::cli
