// larkspur-cli read: codec registers, one history line each.
#pragma once

#include "command.h"

namespace larkspur::cli {

class ReadCommand final : public Command {
public:
    ReadCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
