#include "exportcommand.h"

#include "catalogue/registerexport.h"
#include "cli/output.h"

namespace larkspur::cli {

ExportCommand::ExportCommand()
    : Command({.name = "export",
               .synopsis = "export [SNAPSHOT]",
               .summary = {"the setup of SNAPSHOT (or the board) for firmware: --format c",
                           "(a header with an init table), linux (regmap tables) or json"},
               .minimumArguments = 0,
               .maximumArguments = 1}) {}

int ExportCommand::run(const CliOptions& options, CommandContext& context) const {
    const std::string format =
        options.format.empty() ? (options.json ? "json" : "c") : options.format;
    if (format != "c" && format != "linux" && format != "json") {
        throw UsageError("--format is c, linux or json, not '" + format + "'");
    }
    std::optional<RegisterImage> image;
    const std::string* file = options.arguments.empty() ? nullptr : &options.arguments[0];
    if (const int status = setupImage(options, context.session, file, image); status != kDone) {
        return status;
    }
    context.output.plain(format == "c"       ? exportC(*image)
                         : format == "linux" ? exportLinux(*image)
                                             : exportJson(*image));
    return kDone;
}

} // namespace larkspur::cli
