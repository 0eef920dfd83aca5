#include "flagscommand.h"

#include "cli/output.h"

namespace larkspur::cli {

FlagsCommand::FlagsCommand()
    : Command({.name = "flags", .synopsis = "flags", .summary = {"the two zero-detect flags"}}) {}

int FlagsCommand::run(const CliOptions& options, CommandContext& context) const {
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    const std::optional<std::pair<bool, bool>> zero = context.session.flags();
    if (!zero) {
        return exitStatus(context.session.linkStatus());
    }
    context.output.flags(zero->first, zero->second);
    return kDone;
}

} // namespace larkspur::cli
