#include "diffcommand.h"

#include "catalogue/registerdiff.h"
#include "cli/output.h"

namespace larkspur::cli {

namespace {

constexpr int kDiffer = 1;

} // namespace

DiffCommand::DiffCommand()
    : Command({.name = "diff",
               .synopsis = "diff A [B]",
               .summary = {"snapshot (or history) A against the board, or against B: each",
                           "field that differs, then bits outside any field; 1 if they differ"},
               .minimumArguments = 1,
               .maximumArguments = 2}) {}

int DiffCommand::run(const CliOptions& options, CommandContext& context) const {
    // Files first: a bad file is found before the board is touched.
    std::optional<RegisterImage> before;
    if (const int status = setupImage(options, context.session, &options.arguments[0], before);
        status != kDone) {
        return status;
    }
    std::optional<RegisterImage> after;
    const std::string* second = options.arguments.size() == 2 ? &options.arguments[1] : nullptr;
    if (const int status = setupImage(options, context.session, second, after); status != kDone) {
        return status;
    }
    const RegisterDiff diff = diffRegisters(*before, *after);
    context.output.diff(diff);
    return diff.empty() ? kDone : kDiffer;
}

} // namespace larkspur::cli
