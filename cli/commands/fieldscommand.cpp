#include "fieldscommand.h"

#include "catalogue/controlcatalogue.h"
#include "cli/output.h"

namespace larkspur::cli {

FieldsCommand::FieldsCommand()
    : Command({.name = "fields",
               .synopsis = "fields",
               .summary = {"the controls' bit-fields, by the caption Larkspur shows"},
               .selectsDevice = false}) {}

int FieldsCommand::run(const CliOptions&, CommandContext& context) const {
    context.output.fields(controlCatalogue());
    return kDone;
}

} // namespace larkspur::cli
