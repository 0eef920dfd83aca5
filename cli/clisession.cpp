#include "clisession.h"

#include "coretexts.h"
#include "fieldvalues.h"
#include "hextext.h"
#include "jsonwriter.h"
#include "numbernotation.h"
#include "settingsfile.h"
#include "sundialports.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

const char* kindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::CheckBox:
        return "check-box";
    case ControlKind::DropDown:
        return "list";
    case ControlKind::Radio:
        return "radio";
    case ControlKind::Track:
        return "attenuation";
    }
    return "";
}

} // namespace

CliSession::CliSession(CliWorld world)
    : m_world(std::move(world)), m_access(*this, *this, *this),
      m_connection(m_access, m_world.loader, *this, m_world.sleeper, *this),
      m_script(m_access, *this, m_world.sleeper, *this), m_dump(m_access, *this) {}

void CliSession::message(const std::string& text) {
    // A link failure during a script names the line it happened on.
    if (!m_scriptName.empty() && m_script.currentLine() > 0) {
        m_world.err << m_scriptName << ':' << m_script.currentLine() << ": ";
    }
    m_world.err << text << '\n';
}

void CliSession::error(const std::string& caption, const std::string& text) {
    if (caption == text::kScriptErrorCaption && !m_scriptName.empty()) {
        // Where the run stopped: "FILE:LINE: message", as compilers put it.
        m_scriptError = true;
        m_world.err << m_scriptName;
        if (m_script.badLine() > 0) {
            m_world.err << ':' << m_script.badLine();
        }
        m_world.err << ": ";
    }
    m_world.err << text << '\n';
}

void CliSession::errorWithDetails(const std::string& caption, const std::string& text,
                                  const std::string& details) {
    error(caption, text);
    m_world.err << details << '\n';
}

bool CliSession::question(const std::string&, const std::string&) {
    return false;
}

std::string CliSession::openFileName(const FileDialog&) {
    return {};
}

std::string CliSession::saveFileName(const FileDialog&) {
    return {};
}

int CliSession::run(const CliOptions& options) {
    if (options.help) {
        m_world.out << usageText();
        return kDone;
    }
    if (options.version) {
        return version();
    }
    int status = kDone;
    try {
        status = dispatch(options);
    } catch (const UsageError& e) {
        m_world.err << "larkspur-cli: " << e.what() << "\nTry 'larkspur-cli --help'.\n";
        status = kUsageError;
    }
    closeLink();
    return status;
}

int CliSession::dispatch(const CliOptions& options) {
    // A port named by its path or URL becomes the library's port 1.
    applyPortChoice(options.port);
    const std::string& command = options.command;
    if (command == "fields") {
        return fields(options);
    }
    selectDevice(options);
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

int CliSession::requestedPort(const CliOptions& options) const {
    return options.port.port();
}

void CliSession::selectDevice(const CliOptions& options) {
    // The settings are only read: the program's choice stays the program's. A file that is
    // there but cannot be taken gives way to the defaults, which is said rather than hidden.
    std::error_code missing;
    if (std::filesystem::exists(m_world.settingsPath, missing)) {
        std::ifstream in(m_world.settingsPath, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            m_world.err << "larkspur-cli: the settings file \"" << m_world.settingsPath.string()
                        << "\" cannot be read; using the default interface\n";
        } else if (bytes.find('\0') != std::string::npos) {
            m_world.err << "larkspur-cli: the settings file \"" << m_world.settingsPath.string()
                        << "\" is not a settings file; using the default interface\n";
        }
    }
    const SettingsFile settings(m_world.settingsPath);
    const InterfaceSelection saved = m_access.loadSettings(settings);
    m_interface = options.interfaceIndex.value_or(saved.interfaceIndex);
    int addressIndex = m_interface == saved.interfaceIndex ? saved.addressIndex : 0;
    if (options.address) {
        const int first = m_interface == kInterfaceI2c ? kFirstI2cAddress : 0;
        addressIndex = *options.address - first;
        if (addressIndex < 0 || addressIndex >= kDeviceAddresses) {
            throw UsageError("--address " + std::to_string(*options.address) + " is not " +
                             std::to_string(first) + " to " +
                             std::to_string(first + kDeviceAddresses - 1) +
                             (m_interface == kInterfaceI2c ? " over IIC" : " over SPI"));
        }
    }
    m_access.selectDevice(m_interface, addressIndex);
}

int CliSession::loadLibrary() {
    switch (m_world.loader.load()) {
    case LinkLoader::Status::CannotLoad:
        m_world.err << text::kCannotLoadDll << '\n';
        return kNoBoard;
    case LinkLoader::Status::Invalid:
        m_world.err << text::kInvalidDll << '\n';
        return kNoBoard;
    case LinkLoader::Status::Loaded:
        break;
    }
    m_libraryLoaded = true;
    return kDone;
}

int CliSession::openLink(const CliOptions& options) {
    if (const int status = loadLibrary(); status != kDone) {
        return status;
    }
    const LinkEntries* link = m_world.loader.entries();
    m_access.setLink(link);
    m_access.setWriteMasks();
    const std::int32_t port = link->init(requestedPort(options), m_access.channels().data());
    if (port == 0) {
        return noBoard(options);
    }
    m_access.setLinkPort(port);
    m_access.setWriteSuppressed(false);
    m_access.setHistoryEnabled(true);
    return kDone;
}

void CliSession::closeLink() {
    if (m_connection.libraryLoaded()) {
        m_connection.shutdown();
        return;
    }
    if (m_libraryLoaded) {
        if (const LinkEntries* link = m_world.loader.entries(); link != nullptr) {
            link->close();
        }
        m_access.setLink(nullptr);
        m_world.loader.unload();
        m_libraryLoaded = false;
    }
}

int CliSession::noBoard(const CliOptions& options) {
    m_world.err << text::kNoEvmFound << '\n';
    const int wanted = requestedPort(options);
    if (wanted == 0) {
        m_world.err << noBoardDetails(std::getenv("SUNDIAL_PORTS"), m_world.ports) << '\n';
        return kNoBoard;
    }
    // That port alone: the others may be network ports, each worth a connect time-out.
    const std::string path = sundial::portDevicePath(wanted, std::getenv("SUNDIAL_PORTS"));
    if (path.empty()) {
        m_world.err << wanted << ' ' << text::kPortAbsent << '\n';
        return kNoBoard;
    }
    PortReport report = inspectPort(wanted, path, m_world.ports);
    if (report.state == PortState::Free) {
        markSilent(report);
    }
    m_world.err << reportLine(report) << '\n';
    return kNoBoard;
}

int CliSession::linkStatus() const {
    return m_access.linkFailures() > 0 ? kLinkFailure : kDone;
}

void CliSession::printRegisters(
    const CliOptions& options,
    const std::vector<std::pair<std::uint32_t, std::uint8_t>>& registers) {
    printRegisters(options, std::vector<std::pair<std::uint32_t, std::optional<std::uint8_t>>>(
                                registers.begin(), registers.end()));
}

void CliSession::printRegisters(
    const CliOptions& options,
    const std::vector<std::pair<std::uint32_t, std::optional<std::uint8_t>>>& registers) {
    // A register that could not be read has no value: null in JSON, ?? in text.
    if (options.json) {
        JsonWriter json;
        json.beginObject().key("registers").beginArray();
        for (const auto& [address, value] : registers) {
            json.beginObject().key("address").value(static_cast<long long>(address)).key("value");
            value ? json.value(static_cast<long long>(*value)) : json.null();
            json.endObject();
        }
        json.endArray().endObject();
        m_world.out << json.text() << '\n';
        return;
    }
    for (const auto& [address, value] : registers) {
        m_world.out << (value ? historyLine(address, *value) : "0x" + hexText(address, 2) + ", ??")
                    << '\n';
    }
}

void CliSession::printWrites(const CliOptions& options) {
    if (!options.verbose) {
        return;
    }
    if (options.json) {
        JsonWriter json;
        json.beginObject().key("writes").beginArray();
        for (const std::string& line : m_writes) {
            json.value(line);
        }
        json.endArray().endObject();
        m_world.out << json.text() << '\n';
        return;
    }
    for (const std::string& line : m_writes) {
        m_world.out << line << '\n';
    }
}

int CliSession::ports(const CliOptions& options) {
    std::vector<PortReport> reports =
        inspectPorts(std::getenv("SUNDIAL_PORTS"), options.all, m_world.ports);
    int status = kDone;
    for (PortReport& report : reports) {
        if (report.state != PortState::Free) {
            continue;
        }
        if (!m_libraryLoaded && (status = loadLibrary()) != kDone) {
            break;
        }
        // A probe: the library opens the port, asks for the board and closes it again.
        const LinkEntries* link = m_world.loader.entries();
        if (link->init(report.number, m_access.channels().data()) == report.number) {
            report.state = PortState::Evm;
            report.reason.clear();
            link->close();
        } else {
            markSilent(report);
        }
    }
    if (options.json) {
        JsonWriter json;
        json.beginObject().key("ports").beginArray();
        for (const PortReport& report : reports) {
            json.beginObject().key("number").value(static_cast<long long>(report.number));
            json.key("path").value(report.path).key("state").value(portStateName(report.state));
            json.key("reason").value(report.reason).endObject();
        }
        json.endArray().endObject();
        m_world.out << json.text() << '\n';
    } else {
        for (const PortReport& report : reports) {
            m_world.out << reportLine(report) << '\n';
        }
    }
    return status;
}

int CliSession::connect(const CliOptions& options) {
    m_connection.setPortSurvey(
        [this] { return noBoardDetails(std::getenv("SUNDIAL_PORTS"), m_world.ports); });
    m_connection.start(requestedPort(options));
    if (!m_connection.libraryLoaded() || m_access.linkPort() == 0) {
        return kNoBoard;
    }
    std::vector<std::pair<std::uint32_t, std::optional<std::uint8_t>>> registers;
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        registers.emplace_back(static_cast<std::uint32_t>(reg),
                               m_access.registerKnown(reg)
                                   ? std::optional<std::uint8_t>(m_access.shadowRegister(reg))
                                   : std::nullopt);
    }
    printRegisters(options, registers);
    return linkStatus();
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
    std::vector<std::pair<std::uint32_t, std::uint8_t>> registers;
    for (std::int32_t i = 0; i < count && linkStatus() == kDone; ++i) {
        const auto address = static_cast<std::uint32_t>(first + i);
        const std::uint8_t value = m_access.ReadRegister(address);
        if (linkStatus() == kDone) {
            registers.emplace_back(address, value);
        }
    }
    printRegisters(options, registers);
    return linkStatus();
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
    for (std::size_t i = 0; i < values.size() && linkStatus() == kDone; ++i) {
        m_access.WriteRegister(static_cast<std::uint32_t>(first) + static_cast<std::uint32_t>(i),
                               values[i]);
    }
    printWrites(options);
    return linkStatus();
}

int CliSession::dump(const CliOptions& options) {
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    const auto registers = m_dump.snapshot();
    if (linkStatus() != kDone) {
        return linkStatus(); // a snapshot with a failed read in it is no snapshot
    }
    printRegisters(options, registers);
    return kDone;
}

int CliSession::runScript(const CliOptions& options) {
    const std::string& file = options.arguments[0];
    m_scriptName = file == "-" ? "<stdin>" : file;
    // A script that is not there needs no board to say so.
    if (file != "-" && !std::ifstream(file)) {
        m_world.err << file << ": " << text::kScriptNotFound << '\n';
        return kFileError;
    }
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    m_script.setStopOnLinkFailure(!options.keepGoing);
    if (file == "-") {
        // The port is held while the script is still being written: a pipe may feed it slowly.
        const std::string bytes((std::istreambuf_iterator<char>(m_world.in)),
                                std::istreambuf_iterator<char>());
        m_script.runScriptText(bytes, false);
    } else if (!m_script.RunRegisterScript(file, false)) {
        return kFileError;
    }
    printWrites(options);
    return m_scriptError ? kFileError : linkStatus();
}

int CliSession::fields(const CliOptions& options) {
    JsonWriter json;
    json.beginObject().key("fields").beginArray();
    for (const BoundControl& row : controlCatalogue()) {
        const std::string choices = fieldChoices(row, false);
        if (options.json) {
            json.beginObject().key("name").value(row.name).key("caption").value(row.caption);
            json.key("group").value(row.group).key("kind").value(kindName(row.kind));
            // The field's place from the catalogue; the tooltip is the program's own text, which
            // may say less (the data format's reads "Bit2-0" for bits 3 to 0).
            json.key("register").value(static_cast<long long>(row.reg));
            json.key("shift").value(static_cast<long long>(row.shift));
            json.key("width").value(static_cast<long long>(row.width));
            json.key("tooltip").value(row.tooltip).key("values").value(choices);
            json.key("settable").value(row.enabled).endObject();
        } else {
            m_world.out << row.name << '\t' << row.caption << '\t' << row.tooltip << '\t' << choices
                        << (row.enabled ? "" : "\t(shows the mode only)") << '\n';
        }
    }
    if (options.json) {
        json.endArray().endObject();
        m_world.out << json.text() << '\n';
    }
    return kDone;
}

const BoundControl& CliSession::field(const std::string& key) const {
    std::vector<std::string_view> matches;
    const BoundControl* row = findField(key, &matches);
    if (row != nullptr) {
        return *row;
    }
    if (!matches.empty()) {
        std::string names;
        for (std::string_view name : matches) {
            names += (names.empty() ? "" : ", ") + std::string(name);
        }
        throw UsageError("'" + key + "' names several fields: " + names);
    }
    throw UsageError("no field '" + key + "' (see larkspur-cli fields)");
}

void CliSession::requireReadBack() const {
    if (m_interface == kInterfaceSpi) {
        throw UsageError("over SPI the codec is not read back, so a field cannot be read or set "
                         "without guessing the rest of its register; use read and write");
    }
}

bool CliSession::wideRange() {
    return (m_access.ReadRegister(codecAddress(kAttenuationModeRegister)) & kWideRangeBit) != 0;
}

std::uint32_t CliSession::codecAddress(int reg) const {
    return static_cast<std::uint32_t>(reg + m_access.DeviceBits());
}

int CliSession::getField(const CliOptions& options) {
    const BoundControl& row = field(options.arguments[0]);
    requireReadBack();
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    const std::uint8_t value = m_access.ReadRegister(codecAddress(row.reg));
    const bool wide = row.kind == ControlKind::Track && wideRange();
    if (linkStatus() != kDone) {
        return linkStatus();
    }
    const std::string text = fieldText(row, value, wide);
    if (options.json) {
        JsonWriter json;
        json.beginObject().key("field").value(row.name).key("caption").value(row.caption);
        json.key("value").value(text);
        json.key("register").value(static_cast<long long>(codecAddress(row.reg)));
        json.key("registerValue").value(static_cast<long long>(value)).endObject();
        m_world.out << json.text() << '\n';
    } else {
        m_world.out << text << '\n';
    }
    return kDone;
}

int CliSession::setField(const CliOptions& options) {
    const BoundControl& row = field(options.arguments[0]);
    if (!row.enabled) {
        throw UsageError(std::string(row.caption) + " shows the mode only");
    }
    requireReadBack();
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    // Read-modify-write of what the codec holds now, as the panel does with its shadow.
    const std::uint8_t current = m_access.ReadRegister(codecAddress(row.reg));
    const bool wide = row.kind == ControlKind::Track && wideRange();
    if (linkStatus() != kDone) {
        return linkStatus();
    }
    const auto value = fieldWrite(row, current, options.arguments[1], wide);
    if (!value) {
        throw UsageError("'" + options.arguments[1] + "' is not a value of " +
                         std::string(row.caption) + ": " + fieldChoices(row, wide));
    }
    m_access.setShadowRegister(row.reg, current);
    m_access.WriteRegister(codecAddress(row.reg), *value);
    printWrites(options);
    return linkStatus();
}

int CliSession::flags(const CliOptions& options) {
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    const std::uint8_t value = m_access.ReadRegister(codecAddress(kFlagsRegister));
    if (linkStatus() != kDone) {
        return linkStatus();
    }
    const int zero1 = value & 0x01;
    const int zero2 = (value >> 1) & 0x01;
    if (options.json) {
        JsonWriter json;
        json.beginObject().key("ZERO1").value(static_cast<long long>(zero1));
        json.key("ZERO2").value(static_cast<long long>(zero2)).endObject();
        m_world.out << json.text() << '\n';
    } else {
        m_world.out << "ZERO1=" << zero1 << " ZERO2=" << zero2 << '\n';
    }
    return kDone;
}

int CliSession::reset(const CliOptions& options) {
    const std::string& which = options.arguments[0];
    if (which != "master" && which != "sync") {
        throw UsageError("reset takes master or sync, not '" + which + "'");
    }
    if (const int status = openLink(options); status != kDone) {
        return status;
    }
    // The button writes the command bit into the shadow's register 0x10: the codec's own value
    // over IIC, the defaults over SPI, where it is not read back.
    m_access.LoadDefaultRegisters();
    if (m_interface == kInterfaceI2c) {
        const std::uint8_t value = m_access.ReadRegister(codecAddress(kCommandRegister));
        if (linkStatus() != kDone) {
            return linkStatus();
        }
        m_access.setShadowRegister(kCommandRegister,
                                   static_cast<std::uint8_t>(value | kCommandBits));
    }
    if (which == "master") {
        m_connection.masterReset();
    } else {
        m_connection.syncReset();
    }
    printWrites(options);
    return linkStatus();
}

int CliSession::version() {
    m_world.out << "larkspur-cli " << LARKSPUR_VERSION << '\n';
    if (loadLibrary() != kDone) {
        return kNoBoard;
    }
    const LinkEntries* link = m_world.loader.entries();
    m_world.out << "Sundial " << versionDigits(link->getVer()) << '\n';
    closeLink();
    return kDone;
}

} // namespace larkspur::cli
