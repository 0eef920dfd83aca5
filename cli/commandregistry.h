// Every command of larkspur-cli in one list: the usage text's "Commands:" section, the checks of
// a command's name and argument count, and the dispatch all come from it.
#pragma once

#include "cli/commands/command.h"

#include <span>
#include <string>
#include <string_view>

namespace larkspur::cli {

// In the order the usage text lists them.
std::span<const Command* const> commands();

// The command called `name`. Throws UsageError when there is none.
const Command& findCommand(std::string_view name);

// The text of --help.
std::string usageText();

} // namespace larkspur::cli
