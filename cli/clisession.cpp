#include "clisession.h"
#include "device/tracechoice.h"

#include "commandregistry.h"
#include "device/programversion.h"
#include "output.h"

#include <optional>
#include <ostream>

namespace larkspur::cli {

CliSession::CliSession(CliWorld world)
    : m_out(world.out), m_err(world.err), m_in(world.in), m_settingsPath(world.settingsPath),
      m_session({world.loader, world.sleeper, std::move(world.ports), world.settingsPath}, *this) {}

void CliSession::report(const std::string& line) {
    m_err << line << '\n';
    // A run that reports without end (a port list) keeps what a message needs.
    constexpr std::size_t kMaxKept = 300;
    if (m_reported.size() < kMaxKept) {
        m_reported.push_back(line);
    }
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
    CommandContext context{m_session, output, m_in, m_err};
    int status = kDone;
    std::string usage;
    try {
        const Command& command = findCommand(options.command);
        // A port named by its path or URL becomes the library's port 1.
        applyPortChoice(options.port);
        applyTraceChoice(options.trace);
        if (command.selectsDevice()) {
            const BoardSession::DeviceSelection selection =
                m_session.selectDevice(options.interfaceIndex, options.address);
            if (selection.defaults) {
                m_err << "larkspur-cli: no " << m_settingsPath.string()
                      << " and no --interface: taking "
                      << (selection.interfaceIndex == kInterfaceI2c ? "IIC" : "SPI")
                      << " at address " << selection.address
                      << ", the program's defaults; choose with --interface iic|spi and "
                         "--address N\n";
            }
        }
        status = command.run(options, context);
    } catch (const UsageError& e) {
        m_err << "larkspur-cli: " << e.what() << "\nTry 'larkspur-cli --help'.\n";
        status = kUsageError;
        usage = e.what();
    }
    m_session.close();
    tellError(output, status, usage);
    return status;
}

void CliSession::tellError(Output& output, int status, const std::string& usage) {
    std::string message;
    for (const std::string& line : m_reported) {
        message += (message.empty() ? "" : "\n") + line;
    }
    switch (status) {
    case kUsageError:
        // Also the status of a diff that found differences, which is no error.
        if (!usage.empty()) {
            output.error({"usage", usage, std::nullopt});
        }
        break;
    case kNoBoard:
        output.error({"no-board", message, std::nullopt});
        break;
    case kLinkFailure:
        output.error({"link", message, m_session.lastLinkFailure()});
        break;
    case kFileError:
        output.error({"file", message, std::nullopt});
        break;
    default:
        break;
    }
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
