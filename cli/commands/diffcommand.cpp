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
    BoardSession& session = context.session;
    // Files first: a bad file is found before the board is touched.
    const std::optional<RegisterImage> before = session.image(options.arguments[0]);
    if (!before) {
        return kFileError;
    }
    std::optional<RegisterImage> after;
    if (options.arguments.size() == 2) {
        after = session.image(options.arguments[1]);
        if (!after) {
            return kFileError;
        }
    } else {
        if (const int status = openLink(options, session); status != kDone) {
            return status;
        }
        after = session.boardImage();
        if (!after) {
            return exitStatus(session.linkStatus());
        }
    }
    const RegisterDiff diff = diffRegisters(*before, *after);
    context.output.diff(diff);
    return diff.empty() ? kDone : kDiffer;
}

} // namespace larkspur::cli
