#include "clisession.h"

#include "device/hextext.h"
#include "device/numbernotation.h"
#include "output.h"

#include <iostream>
#include <iterator>

namespace larkspur::cli {

namespace {

constexpr int kMaxReadCount = 255;

std::int32_t numberArgument(const std::string& text, const char* what) {
    const auto value = parseNumber(text);
    if (!value) {
        throw UsageError(std::string(what) + " '" + text + "' is no number");
    }
    return *value;
}

// Register addresses travel in one byte; 0x111 would reach register 0x11.
std::int32_t registerArgument(const std::string& text) {
    const std::int32_t value = numberArgument(text, "register");
    if (value < 0 || value > 0xFF) {
        throw UsageError("register '" + text + "' is not 0 to 0xFF");
    }
    return value;
}

void requireRegistersUpTo(std::int32_t first, std::int32_t count) {
    if (first + count - 1 > 0xFF) {
        throw UsageError(std::to_string(count) + " registers from '0x" + hexText(first, 2) +
                         "' go beyond 0xFF");
    }
}

std::uint8_t byteArgument(const std::string& text) {
    const std::int32_t value = numberArgument(text, "value");
    if (value < 0 || value > 255) {
        throw UsageError("value '" + text + "' is not 0 to 255");
    }
    return static_cast<std::uint8_t>(value);
}

int exitStatus(SessionStatus status) {
    switch (status) {
    case SessionStatus::Done:
        return kDone;
    case SessionStatus::NoBoard:
        return kNoBoard;
    case SessionStatus::LinkFailure:
        return kLinkFailure;
    case SessionStatus::FileError:
        return kFileError;
    }
    return kLinkFailure;
}

} // namespace

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
    int status = kDone;
    try {
        status = dispatch(options);
    } catch (const UsageError& e) {
        m_err << "larkspur-cli: " << e.what() << "\nTry 'larkspur-cli --help'.\n";
        status = kUsageError;
    }
    m_session.close();
    return status;
}

int CliSession::dispatch(const CliOptions& options) {
    // A port named by its path or URL becomes the library's port 1.
    applyPortChoice(options.port);
    const std::string& command = options.command;
    if (command == "fields") {
        return fields(options);
    }
    m_session.selectDevice(options.interfaceIndex, options.address);
    if (command == "ports") {
        return ports(options);
    }
    if (command == "connect") {
        return connect(options);
    }
    if (command == "read") {
        return read(options);
    }
    if (command == "write") {
        return write(options);
    }
    if (command == "dump") {
        return dump(options);
    }
    if (command == "run") {
        return runScript(options);
    }
    if (command == "get") {
        return getField(options);
    }
    if (command == "set") {
        return setField(options);
    }
    if (command == "flags") {
        return flags(options);
    }
    return reset(options);
}

int CliSession::openLink(const CliOptions& options) {
    return exitStatus(m_session.open(options.port.port()));
}

Output CliSession::output(const CliOptions& options) const {
    return Output(m_out, options.json, options.verbose);
}

int CliSession::ports(const CliOptions& options) {
    SessionStatus status = SessionStatus::Done;
    const std::vector<PortReport> reports = m_session.ports(options.all, status);
    output(options).ports(reports);
    return exitStatus(status);
}

int CliSession::connect(const CliOptions& options) {
    const SessionStatus status = m_session.connect(options.port.port());
    if (status == SessionStatus::NoBoard) {
        return kNoBoard;
    }
    output(options).registers(m_session.codecRegisters());
    return exitStatus(status);
}

int CliSession::read(const CliOptions& options) {
    const std::int32_t first = registerArgument(options.arguments[0]);
    const std::int32_t count =
        options.arguments.size() > 1 ? numberArgument(options.arguments[1], "count") : 1;
    if (count < 1 || count > kMaxReadCount) {
        throw UsageError("count must be 1 to " + std::to_string(kMaxReadCount));
    }
    requireRegistersUpTo(first, count);
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    output(options).registers(m_session.read(static_cast<std::uint32_t>(first), count));
    return exitStatus(m_session.linkStatus());
}

int CliSession::write(const CliOptions& options) {
    const std::int32_t first = registerArgument(options.arguments[0]);
    std::vector<std::uint8_t> values;
    for (auto word = std::next(options.arguments.begin()); word != options.arguments.end();
         ++word) {
        values.push_back(byteArgument(*word));
    }
    requireRegistersUpTo(first, static_cast<std::int32_t>(values.size()));
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    m_session.write(static_cast<std::uint32_t>(first), values);
    output(options).writes(m_session.writes());
    return exitStatus(m_session.linkStatus());
}

int CliSession::dump(const CliOptions& options) {
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    const std::optional<RegisterValues> registers = m_session.snapshot();
    if (!registers) {
        return exitStatus(m_session.linkStatus());
    }
    output(options).registers(*registers);
    return kDone;
}

int CliSession::runScript(const CliOptions& options) {
    const std::string& file = options.arguments[0];
    if (file != "-") {
        if (const SessionStatus status = m_session.checkScript(file);
            status != SessionStatus::Done) {
            return exitStatus(status);
        }
    }
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    SessionStatus status = SessionStatus::Done;
    if (file == "-") {
        // The port is held while the script is still being written: a pipe may feed it slowly.
        const std::string bytes((std::istreambuf_iterator<char>(m_in)),
                                std::istreambuf_iterator<char>());
        status = m_session.runScriptText("<stdin>", bytes, options.keepGoing);
    } else {
        status = m_session.runScript(file, options.keepGoing);
    }
    output(options).writes(m_session.writes());
    return exitStatus(status);
}

int CliSession::fields(const CliOptions& options) {
    output(options).fields(controlCatalogue());
    return kDone;
}

int CliSession::getField(const CliOptions& options) {
    const BoundControl& row = BoardSession::field(options.arguments[0]);
    m_session.checkField(row, false);
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    const std::optional<BoardSession::FieldValue> value = m_session.getField(row);
    if (!value) {
        return exitStatus(m_session.linkStatus());
    }
    output(options).fieldValue(row, *value);
    return kDone;
}

int CliSession::setField(const CliOptions& options) {
    const BoundControl& row = BoardSession::field(options.arguments[0]);
    m_session.checkField(row, true);
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    m_session.setField(row, options.arguments[1]);
    output(options).writes(m_session.writes());
    return exitStatus(m_session.linkStatus());
}

int CliSession::flags(const CliOptions& options) {
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    const std::optional<std::pair<bool, bool>> zero = m_session.flags();
    if (!zero) {
        return exitStatus(m_session.linkStatus());
    }
    output(options).flags(zero->first, zero->second);
    return kDone;
}

int CliSession::reset(const CliOptions& options) {
    const std::string& which = options.arguments[0];
    BoardSession::checkReset(which);
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    m_session.reset(which);
    output(options).writes(m_session.writes());
    return exitStatus(m_session.linkStatus());
}

int CliSession::version() {
    m_out << "larkspur-cli " << LARKSPUR_VERSION << '\n';
    const std::optional<std::string> library = m_session.libraryVersion();
    if (!library) {
        return kNoBoard;
    }
    m_out << "Sundial " << *library << '\n';
    return kDone;
}

} // namespace larkspur::cli
