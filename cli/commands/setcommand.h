// larkspur-cli set: a field, by the text its control takes.
#pragma once

#include "command.h"

namespace larkspur::cli {

class SetCommand final : public Command {
public:
    SetCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
