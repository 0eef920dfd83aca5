// larkspur-cli diff: a snapshot against the board, or against another snapshot, field by field.
#pragma once

#include "command.h"

namespace larkspur::cli {

class DiffCommand final : public Command {
public:
    DiffCommand();
    // 0 when the two are the same, 1 when they differ (as diff(1)); the other statuses as for
    // every command.
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
