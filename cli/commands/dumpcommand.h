// larkspur-cli dump: the register snapshot, as Larkspur saves it.
#pragma once

#include "command.h"

namespace larkspur::cli {

class DumpCommand final : public Command {
public:
    DumpCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
