#include "connectcommand.h"

#include "cli/output.h"

namespace larkspur::cli {

ConnectCommand::ConnectCommand()
    : Command({.name = "connect",
               .synopsis = "connect",
               .summary = {"what Larkspur does when it starts: search, board set-up, codec",
                           "read-back over IIC (defaults over SPI); prints the registers"}}) {}

int ConnectCommand::run(const CliOptions& options, CommandContext& context) const {
    const SessionStatus status = context.session.connect(options.port.port());
    if (status == SessionStatus::NoBoard) {
        return kNoBoard;
    }
    // After a failed read the registers still show, the unread ones without a value.
    context.output.registers(context.session.codecRegisters());
    return exitStatus(status);
}

} // namespace larkspur::cli
