// larkspur-cli write: codec registers from one address on.
#pragma once

#include "command.h"

namespace larkspur::cli {

class WriteCommand final : public Command {
public:
    WriteCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
