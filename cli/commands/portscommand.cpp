#include "portscommand.h"

#include "cli/output.h"

namespace larkspur::cli {

PortsCommand::PortsCommand()
    : Command({.name = "ports",
               .synopsis = "ports",
               .summary = {"every port of the library's table that exists, and what it is:",
                           "evm, silent, busy, no-permission, not-serial (--all: absent ones too);",
                           "for a URL also closed, refused, unreachable, unknown-host, bad-url"}}) {
}

int PortsCommand::run(const CliOptions& options, CommandContext& context) const {
    SessionStatus status = SessionStatus::Done;
    context.output.ports(context.session.ports(options.all, status));
    return exitStatus(status);
}

} // namespace larkspur::cli
