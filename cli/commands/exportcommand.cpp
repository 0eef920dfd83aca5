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
    BoardSession& session = context.session;
    std::optional<RegisterImage> image;
    if (!options.arguments.empty()) {
        image = session.image(options.arguments[0]);
        if (!image) {
            return kFileError;
        }
    } else {
        if (const int status = openLink(options, session); status != kDone) {
            return status;
        }
        image = session.boardImage();
        if (!image) {
            return exitStatus(session.linkStatus());
        }
    }
    context.output.plain(format == "c"       ? exportC(*image)
                         : format == "linux" ? exportLinux(*image)
                                             : exportJson(*image));
    return kDone;
}

} // namespace larkspur::cli
