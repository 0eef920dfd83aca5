// larkspur-cli connect: what Larkspur does when it starts, then the codec's registers.
#pragma once

#include "command.h"

namespace larkspur::cli {

class ConnectCommand final : public Command {
public:
    ConnectCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
