// larkspur-cli reset: the codec's MRST or SRST command.
#pragma once

#include "command.h"

namespace larkspur::cli {

class ResetCommand final : public Command {
public:
    ResetCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
