// larkspur-cli flags: the two zero-detect flags.
#pragma once

#include "command.h"

namespace larkspur::cli {

class FlagsCommand final : public Command {
public:
    FlagsCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
