// larkspur-cli ports: every port of the library's table, and what is behind it.
#pragma once

#include "command.h"

namespace larkspur::cli {

class PortsCommand final : public Command {
public:
    PortsCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
