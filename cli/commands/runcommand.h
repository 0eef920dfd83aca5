// larkspur-cli run: a register script from a file or standard input.
#pragma once

#include "command.h"

namespace larkspur::cli {

class RunCommand final : public Command {
public:
    RunCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
