// larkspur-cli export: a snapshot (or the board) for firmware: a C header, a Linux driver's
// regmap tables, or JSON.
#pragma once

#include "command.h"

namespace larkspur::cli {

class ExportCommand final : public Command {
public:
    ExportCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
