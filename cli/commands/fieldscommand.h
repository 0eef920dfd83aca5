// larkspur-cli fields: the controls' bit-fields, from the catalogue alone.
#pragma once

#include "command.h"

namespace larkspur::cli {

class FieldsCommand final : public Command {
public:
    FieldsCommand();
    int run(const CliOptions& options, CommandContext& context) const override;
};

} // namespace larkspur::cli
