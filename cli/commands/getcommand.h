// larkspur-cli get: a field's value as its control shows it.
#pragma once

#include "command.h"

namespace larkspur::cli {

class GetCommand final : public Command {
public:
    GetCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
