#include "helpcommand.h"

#include "cli/commandregistry.h"
#include "cli/output.h"

namespace larkspur::cli {

// Not listed among the commands: the usage text names it as --help.
HelpCommand::HelpCommand() : Command({.name = "help", .selectsDevice = false}) {}

int HelpCommand::run(const CliOptions&, CommandContext& context) const {
    context.output.plain(usageText());
    return kDone;
}

} // namespace larkspur::cli
