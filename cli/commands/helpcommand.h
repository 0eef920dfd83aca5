// larkspur-cli help: the usage text, as --help gives it.
#pragma once

#include "command.h"

namespace larkspur::cli {

class HelpCommand final : public Command {
public:
    HelpCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
