#include "writecommand.h"

#include "cli/output.h"
#include "registerarguments.h"

#include <iterator>

namespace larkspur::cli {

namespace {

// The register, then its values.
constexpr std::size_t kMaxWriteArguments = 256;

} // namespace

WriteCommand::WriteCommand()
    : Command({.name = "write",
               .synopsis = "write REG VALUE...",
               .summary = {"write codec registers from REG on (-v: the history lines)"},
               .minimumArguments = 2,
               .maximumArguments = kMaxWriteArguments}) {}

int WriteCommand::run(const CliOptions& options, CommandContext& context) const {
    const std::int32_t first = registerArgument(options.arguments[0]);
    std::vector<std::uint8_t> values;
    for (auto word = std::next(options.arguments.begin()); word != options.arguments.end();
         ++word) {
        values.push_back(valueArgument(*word));
    }
    requireRegistersUpTo(first, static_cast<std::int32_t>(values.size()));
    if (const int status = openLink(options, context.session); status != kDone) {
        return status;
    }
    context.session.write(static_cast<std::uint32_t>(first), values);
    context.output.writes(context.session.writes());
    return exitStatus(context.session.linkStatus());
}

} // namespace larkspur::cli
