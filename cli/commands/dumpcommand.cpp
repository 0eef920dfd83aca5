#include "dumpcommand.h"

#include "cli/output.h"

namespace larkspur::cli {

DumpCommand::DumpCommand()
    : Command({.name = "dump",
               .synopsis = "dump",
               .summary = {"the register snapshot, as Larkspur saves it"}}) {}

int DumpCommand::run(const CliOptions& options, CommandContext& context) const {
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    // A snapshot with a failed read in it is no snapshot: nothing is printed.
    const std::optional<RegisterValues> registers = context.session.snapshot();
    if (!registers) {
        return exitStatus(context.session.linkStatus());
    }
    context.output.registers(*registers);
    return kDone;
}

} // namespace larkspur::cli
