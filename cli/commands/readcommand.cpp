#include "readcommand.h"

#include "cli/output.h"
#include "registerarguments.h"

namespace larkspur::cli {

namespace {

// The link library reads 1 to 255 registers in one request.
constexpr std::int32_t kMaxReadCount = 255;

} // namespace

ReadCommand::ReadCommand()
    : Command({.name = "read",
               .synopsis = "read REG [COUNT]",
               .summary = {"read codec registers; one \"0x11, 0x05\" line per register"},
               .minimumArguments = 1,
               .maximumArguments = 2}) {}

int ReadCommand::run(const CliOptions& options, CommandContext& context) const {
    const std::int32_t first = registerArgument(options.arguments[0]);
    const std::int32_t count =
        options.arguments.size() > 1 ? numberArgument(options.arguments[1], "count") : 1;
    if (count < 1 || count > kMaxReadCount) {
        throw UsageError("count must be 1 to " + std::to_string(kMaxReadCount));
    }
    requireRegistersUpTo(first, count);
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    context.output.registers(context.session.read(static_cast<std::uint32_t>(first), count));
    return exitStatus(context.session.linkStatus());
}

} // namespace larkspur::cli
