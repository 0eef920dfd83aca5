#include "boardsession.h"

#include "catalogue/fieldvalues.h"
#include "device/codecregisters.h"
#include "device/devicetexts.h"
#include "device/settingsfile.h"
#include "files/filebytes.h"
#include "files/filetexts.h"
#include "link/ports.h"

#include <algorithm>
#include <fstream>

namespace larkspur {

namespace {

// The command line's words for a write without a value.
constexpr const char* kWriteNeedsValues = "wrong number of arguments for write";

} // namespace

BoardSession::BoardSession(SessionWorld world, SessionReporter& reporter)
    : m_world(std::move(world)), m_reporter(reporter),
      // The program's start-up script is the window's: a session runs none.
      m_core(m_silent.frontEnd(), m_world.sleeper, m_world.loader,
             CoreParts::StartupScript::Skipped),
      m_access(m_core.access()), m_connection(m_core.connection()), m_script(m_core.script()) {}

BoardSession::~BoardSession() {
    close();
}

void BoardSession::reportLines(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        m_reporter.report(text.substr(start, end - start));
        start = end + 1;
    }
}

BoardSession::DeviceSelection BoardSession::selectDevice(std::optional<int> interfaceIndex,
                                                         std::optional<int> address) {
    // The settings are only read: the program's choice stays the program's. What their load
    // has to say (a file that cannot be read, a value that is no number) is a note about the
    // session's set-up.
    const SettingsFile settings(m_world.settingsPath);
    const InterfaceSelection saved = m_access.loadSettings(settings);
    for (const std::string& note : saved.notes) {
        m_reporter.warn(note);
    }
    m_interface = interfaceIndex.value_or(saved.interfaceIndex);
    m_silent.setInterface(m_interface);
    int addressIndex = m_interface == saved.interfaceIndex ? saved.addressIndex : 0;
    if (address) {
        addressIndex = BoardSession::addressIndex(m_interface, *address);
    }
    m_access.selectDevice(m_interface, addressIndex);
    std::error_code error;
    const bool noFile = !std::filesystem::exists(m_world.settingsPath, error) && !error;
    return {m_interface, m_access.DeviceAddress(), !interfaceIndex && noFile};
}

int BoardSession::addressIndex(int interfaceIndex, int address) {
    const bool i2c = interfaceIndex == kInterfaceI2c;
    const int first = i2c ? kFirstI2cAddress : 0;
    const int last = first + kDeviceAddresses - 1;
    // Compared before anything is subtracted: any int may come from the command line.
    if (address < first || address > last) {
        throw ArgumentError("--address " + std::to_string(address) + " is not " +
                            std::to_string(first) + " to " + std::to_string(last) +
                            (i2c ? " over IIC" : " over SPI"));
    }
    return address - first;
}

SessionStatus BoardSession::loadLibrary() {
    switch (m_connection.loadLibrary()) {
    case LinkLoader::Status::CannotLoad:
        m_reporter.report(text::kCannotLoadDll);
        if (const std::string searched = m_connection.searchReport(); !searched.empty()) {
            reportLines(searched);
        }
        return SessionStatus::NoBoard;
    case LinkLoader::Status::Invalid:
        m_reporter.report(text::kInvalidDll);
        return SessionStatus::NoBoard;
    case LinkLoader::Status::Loaded:
        break;
    }
    return SessionStatus::Done;
}

SessionStatus BoardSession::open(int port) {
    if (const SessionStatus status = loadLibrary(); status != SessionStatus::Done) {
        return status;
    }
    const LinkEntries* link = m_connection.link();
    m_access.setWriteMasks();
    const std::int32_t found = link->init(port, m_access.channels().data());
    if (found == 0) {
        return noBoard(port);
    }
    m_access.setLinkPort(found);
    // Open until closed: writes go out and are logged from here on.
    m_access.setWriteSuppressed(false);
    m_access.setHistoryEnabled(true);
    return SessionStatus::Done;
}

void BoardSession::beginCall() {
    m_access.takeFailures();
    m_callFailure.reset();
    m_callLastFailure.reset();
    // The latch holds back the window's repeated messages; here each call tells its own.
    m_access.setErrorLatch(false);
}

void BoardSession::failed(const LinkFailure& failure, const std::string& where) {
    // A call tells its first failure, as the window's latch has it.
    m_callLastFailure = failure;
    if (m_callFailure) {
        return;
    }
    m_callFailure = failure;
    m_reporter.report(where + failureText(failure));
}

void BoardSession::tell(const FailureRecord& failures) {
    for (const LinkFailure& failure : failures.told) {
        m_reporter.report(failureText(failure));
    }
    if (failures.none()) {
        return;
    }
    if (!m_callFailure) {
        m_callFailure = failures.first;
    }
    m_callLastFailure = failures.last;
}

std::optional<std::uint8_t> BoardSession::readCodec(std::uint32_t address) {
    const ReadOutcome outcome = m_access.readCodec(address);
    if (const LinkFailure* failure = outcome.failure()) {
        failed(*failure);
        return std::nullopt;
    }
    return outcome.done() ? std::optional<std::uint8_t>(outcome.value()) : std::nullopt;
}

bool BoardSession::writeCodec(std::uint32_t address, std::uint8_t value) {
    const WriteOutcome outcome = m_access.writeCodec(address, value);
    if (const LinkFailure* failure = outcome.failure()) {
        failed(*failure);
        return false;
    }
    return true;
}

SessionStatus BoardSession::connect(int port) {
    beginCall();
    m_connection.setPortSurvey(
        [this] { return noBoardDetails(configuredPortList(), m_world.ports); });
    const ConnectOutcome outcome = m_connection.start(port);
    switch (outcome.end) {
    case ConnectOutcome::End::CannotLoad:
        m_reporter.report(text::kCannotLoadDll);
        break;
    case ConnectOutcome::End::InvalidLibrary:
        m_reporter.report(text::kInvalidDll);
        break;
    case ConnectOutcome::End::NoBoard:
        m_reporter.report(text::kNoEvmFound);
        break;
    case ConnectOutcome::End::NotLoaded:
    case ConnectOutcome::End::Connected:
        tell(outcome.failures);
        return linkStatus();
    }
    if (outcome.details) {
        reportLines(*outcome.details);
    }
    return SessionStatus::NoBoard;
}

KnownRegisters BoardSession::codecRegisters() const {
    KnownRegisters registers;
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        registers.emplace_back(static_cast<std::uint32_t>(reg),
                               m_access.registerKnown(reg)
                                   ? std::optional<std::uint8_t>(m_access.shadowRegister(reg))
                                   : std::nullopt);
    }
    return registers;
}

void BoardSession::close() {
    m_connection.shutdown();
}

SessionStatus BoardSession::noBoard(int port) {
    m_reporter.report(text::kNoEvmFound);
    if (port == 0) {
        reportLines(noBoardDetails(configuredPortList(), m_world.ports));
        return SessionStatus::NoBoard;
    }
    // That port alone: the others may be network ports, each worth a connect time-out.
    const std::string path = sundial::portDevicePath(port, configuredPortList());
    if (path.empty()) {
        m_reporter.report(std::to_string(port) + ' ' + text::kPortAbsent);
        return SessionStatus::NoBoard;
    }
    PortReport report = inspectPort(port, path, m_world.ports);
    if (report.state == PortState::Free) {
        markSilent(report);
    }
    m_reporter.report(reportLine(report));
    return SessionStatus::NoBoard;
}

SessionStatus BoardSession::linkStatus() const {
    return m_callLastFailure ? SessionStatus::LinkFailure : SessionStatus::Done;
}

std::optional<LinkFailure> BoardSession::lastLinkFailure() const {
    return m_callLastFailure;
}

RegisterValues BoardSession::read(std::uint32_t first, int count) {
    beginCall();
    return readRange(first, count);
}

RegisterValues BoardSession::readRange(std::uint32_t first, int count) {
    RegisterValues registers;
    // One transaction where the request's count carries them all: on a real line it is the
    // number of turnarounds that costs.
    if (count > 1) {
        const LinkOutcome<std::vector<std::uint8_t>> block = m_access.readCodecBlock(first, count);
        if (block.done()) {
            for (int i = 0; i < count; ++i) {
                registers.emplace_back(first + static_cast<std::uint32_t>(i),
                                       block.value()[static_cast<std::size_t>(i)]);
            }
            return registers;
        }
        if (block.noLink()) {
            return registers;
        }
        // Register by register, so that the failure names the register that fails.
    }
    for (int i = 0; i < count; ++i) {
        const std::uint32_t address = first + static_cast<std::uint32_t>(i);
        const std::optional<std::uint8_t> value = readCodec(address);
        if (!value) {
            break;
        }
        registers.emplace_back(address, *value);
    }
    return registers;
}

void BoardSession::write(std::uint32_t first, const std::vector<std::uint8_t>& values) {
    if (values.empty()) {
        throw ArgumentError(kWriteNeedsValues);
    }
    beginCall();
    if (values.size() > 1) {
        const WriteOutcome block = m_access.writeCodecBlock(first, values);
        if (!block.failure()) {
            return;
        }
        // Register by register, so that the failure names the register that fails. The
        // registers hold values, not commands, so a value the board may already have taken is
        // written again unchanged.
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!writeCodec(first + static_cast<std::uint32_t>(i), values[i])) {
            break;
        }
    }
}

std::optional<RegisterValues> BoardSession::snapshot() {
    beginCall();
    // What the chip holds now, named without the device bits, as the snapshot file has it.
    const std::uint32_t first = m_access.codecAddress(kFirstRegister);
    RegisterValues registers = readRange(first, kRegisterCount);
    if (registers.size() != static_cast<std::size_t>(kRegisterCount)) {
        return std::nullopt; // a snapshot with a failed read in it is no snapshot
    }
    for (auto& [address, value] : registers) {
        address = address - first + kFirstRegister;
    }
    return registers;
}

std::optional<RegisterImage> BoardSession::image(const std::string& file) {
    m_scriptFailure.reset();
    ImageOutcome outcome = replayFileIntoImage(file);
    if (!outcome.values) {
        m_scriptFailure = ScriptFailure{file, outcome.line, outcome.message};
        const std::string where =
            outcome.line > 0 ? file + ":" + std::to_string(outcome.line) : file;
        m_reporter.report(where + ": " + outcome.message);
    }
    return outcome.values;
}

std::optional<RegisterImage> BoardSession::boardImage() {
    const std::optional<RegisterValues> registers = snapshot();
    if (!registers) {
        return std::nullopt;
    }
    RegisterImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = (*registers)[i].second;
    }
    return image;
}

SessionStatus BoardSession::checkScript(const std::string& file) {
    if (!std::ifstream(file)) {
        m_scriptFailure = ScriptFailure{file, 0, text::kScriptNotFound};
        m_reporter.report(file + ": " + text::kScriptNotFound);
        return SessionStatus::FileError;
    }
    return SessionStatus::Done;
}

SessionStatus BoardSession::runScript(const std::string& file, bool keepGoing) {
    m_scriptFailure.reset();
    m_scriptSummary = {};
    beginCall();
    if (const SessionStatus status = checkScript(file); status != SessionStatus::Done) {
        return status;
    }
    if (m_access.linkPort() == 0) {
        return SessionStatus::NoBoard;
    }
    return scriptStatus(file, m_script.runFile(file, scriptRun(keepGoing)));
}

SessionStatus BoardSession::runScriptText(const std::string& name, const std::string& text,
                                          bool keepGoing) {
    m_scriptFailure.reset();
    m_scriptSummary = {};
    beginCall();
    return scriptStatus(name, m_script.runText(text, scriptRun(keepGoing)));
}

ScriptRun BoardSession::scriptRun(bool keepGoing) {
    return {.showProgress = false, .showMessages = false, .stopOnLinkFailure = !keepGoing};
}

SessionStatus BoardSession::scriptStatus(const std::string& name, const ScriptOutcome& outcome) {
    // Each report names where it happened: "FILE:LINE: message", as compilers put it.
    const auto at = [&name](int line) {
        return name + (line > 0 ? ':' + std::to_string(line) : std::string()) + ": ";
    };
    m_scriptSummary = {outcome.linesRun, {}, outcome.failures};
    for (const auto& [address, value] : outcome.writes) {
        m_scriptSummary.writes.push_back(historyLine(address, value));
    }
    if (outcome.firstFailure) {
        failed(*outcome.firstFailure, at(outcome.failureLine));
        m_callLastFailure = outcome.lastFailure;
    }
    switch (outcome.end) {
    case ScriptOutcome::End::Done:
    case ScriptOutcome::End::LinkFailure:
        return outcome.firstFailure ? SessionStatus::LinkFailure : SessionStatus::Done;
    case ScriptOutcome::End::NotFound:
    case ScriptOutcome::End::Unreadable:
    case ScriptOutcome::End::BadLine:
        break;
    }
    m_scriptFailure = ScriptFailure{name, outcome.line, outcome.message};
    m_reporter.report(at(outcome.line) + outcome.message);
    return SessionStatus::FileError;
}

SessionStatus BoardSession::runScriptInput(const std::string& name, std::istream& in,
                                           bool keepGoing) {
    m_scriptSummary = {};
    std::string bytes;
    if (const auto reason = readStreamBytes(in, bytes)) {
        const std::string message =
            std::string(text::kCannotReadFile) + " \"" + name + "\". " + *reason + ".";
        m_scriptFailure = ScriptFailure{name, 0, message};
        m_reporter.report(name + ": " + message);
        return SessionStatus::FileError;
    }
    return runScriptText(name, bytes, keepGoing);
}

const BoundControl& BoardSession::field(const std::string& key) {
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
        throw ArgumentError("'" + key + "' names several fields: " + names);
    }
    throw ArgumentError("no field '" + key + "' (see larkspur-cli fields)");
}

void BoardSession::checkField(const BoundControl& row, bool set) const {
    if (set && !row.enabled) {
        throw ArgumentError(std::string(row.caption) + " shows the mode only");
    }
    // Bit-fields are read-modify-write of the codec's value, which SPI does not give back.
    if (m_interface == kInterfaceSpi) {
        throw ArgumentError("over SPI the codec is not read back, so a field cannot be read or "
                            "set without guessing the rest of its register; use read and write");
    }
}

std::optional<BoardSession::FieldRead> BoardSession::readField(const BoundControl& row) {
    const auto value = readCodec(m_access.codecAddress(row.reg));
    if (!value) {
        return std::nullopt;
    }
    if (row.kind != ControlKind::Track) {
        return FieldRead{*value, false};
    }
    const auto mode = readCodec(m_access.codecAddress(kAttenuationModeRegister));
    if (!mode) {
        return std::nullopt;
    }
    return FieldRead{*value, wideRange(*mode)};
}

std::optional<BoardSession::FieldValue> BoardSession::getField(const BoundControl& row) {
    checkField(row, false);
    beginCall();
    const std::optional<FieldRead> read = readField(row);
    if (!read) {
        return std::nullopt;
    }
    return FieldValue{fieldText(row, read->value, read->wide), m_access.codecAddress(row.reg),
                      read->value};
}

std::optional<BoardSession::FieldValue> BoardSession::setField(const BoundControl& row,
                                                               const std::string& text) {
    checkField(row, true);
    beginCall();
    // Read-modify-write of what the codec holds now, as the panel does with its shadow.
    const std::optional<FieldRead> read = readField(row);
    if (!read) {
        return std::nullopt;
    }
    const std::uint8_t current = read->value;
    const bool wide = read->wide;
    const auto value = fieldWrite(row, current, text, wide);
    if (!value) {
        throw ArgumentError("'" + text + "' is not a value of " + std::string(row.caption) + ": " +
                            fieldChoices(row, wide));
    }
    m_access.setShadowRegister(row.reg, current);
    const std::uint32_t address = m_access.codecAddress(row.reg);
    if (!writeCodec(address, *value)) {
        return std::nullopt;
    }
    return FieldValue{fieldText(row, *value, wide), address, *value};
}

std::optional<std::pair<bool, bool>> BoardSession::flags() {
    beginCall();
    const auto value = readCodec(m_access.codecAddress(kFlagsRegister));
    if (!value) {
        return std::nullopt;
    }
    return std::pair<bool, bool>{zeroFlagSet(*value, 0), zeroFlagSet(*value, 1)};
}

void BoardSession::checkReset(const std::string& which) {
    if (which != "master" && which != "sync") {
        throw ArgumentError("reset takes master or sync, not '" + which + "'");
    }
}

void BoardSession::reset(const std::string& which) {
    checkReset(which);
    beginCall();
    // The button writes the command bit into the shadow's register 0x10: the codec's own value
    // over IIC, the defaults over SPI, where it is not read back.
    m_access.LoadDefaultRegisters();
    if (m_interface == kInterfaceI2c) {
        const auto value = readCodec(m_access.codecAddress(kCommandRegister));
        if (!value) {
            return;
        }
        m_access.setShadowRegister(kCommandRegister,
                                   static_cast<std::uint8_t>(*value | kCommandBits));
    }
    tell(which == "master" ? m_connection.masterReset() : m_connection.syncReset());
}

std::vector<PortReport> BoardSession::ports(bool includeAbsent, SessionStatus& status) {
    std::vector<PortReport> reports =
        inspectPorts(configuredPortList(), includeAbsent, m_world.ports);
    status = SessionStatus::Done;
    for (PortReport& report : reports) {
        if (report.state != PortState::Free) {
            continue;
        }
        if ((status = loadLibrary()) != SessionStatus::Done) {
            break;
        }
        // A probe: the library opens the port, asks for the board and closes it again.
        const LinkEntries* link = m_connection.link();
        if (link->init(report.number, m_access.channels().data()) == report.number) {
            report.state = PortState::Evm;
            report.reason.clear();
            link->close();
        } else {
            markSilent(report);
        }
    }
    return reports;
}

std::optional<std::string> BoardSession::libraryVersion() {
    if (loadLibrary() != SessionStatus::Done) {
        return std::nullopt;
    }
    const std::string digits = versionDigits(m_connection.link()->getVer());
    close();
    return digits;
}

} // namespace larkspur
