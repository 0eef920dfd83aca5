#include "clisession.h"
#include "device/tracechoice.h"

#include "commandregistry.h"
#include "device/programversion.h"
#include "output.h"

#include <optional>
#include <ostream>

namespace larkspur::cli {

CliSession::CliSession(CliWorld world)
    : m_out(world.out), m_err(world.err), m_in(world.in),
      m_session({world.loader, world.sleeper, std::move(world.ports), world.settingsPath}, *this) {}

void CliSession::report(const std::string& line) {
    m_err << line << '\n';
}

void CliSession::warn(const std::string& line) {
    m_err << "larkspur-cli: " << line << '\n';
}

int CliSession::run(const CliOptions& options) {
    if (options.help) {
        m_out << usageText();
        return kDone;
    }
    if (options.version) {
        return version();
    }
    Output output(m_out, options.json, options.verbose);
    CommandContext context{m_session, output, m_in};
    int status = kDone;
    try {
        const Command& command = findCommand(options.command);
        // A port named by its path or URL becomes the library's port 1.
        applyPortChoice(options.port);
        applyTraceChoice(options.trace);
        if (command.selectsDevice()) {
            m_session.selectDevice(options.interfaceIndex, options.address);
        }
        status = command.run(options, context);
    } catch (const UsageError& e) {
        m_err << "larkspur-cli: " << e.what() << "\nTry 'larkspur-cli --help'.\n";
        status = kUsageError;
    }
    m_session.close();
    return status;
}

int CliSession::version() {
    m_out << "larkspur-cli " << programVersion() << '\n';
    const std::optional<std::string> library = m_session.libraryVersion();
    if (!library) {
        return kNoBoard;
    }
    m_out << "Sundial " << *library << '\n';
    return kDone;
}

} // namespace larkspur::cli
