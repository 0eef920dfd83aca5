// The compiled half of the Python package: the core's board session, one call at a time, with
// the blocking calls letting other Python threads run. Each call gives back its own outcome
// with its values; the pure-Python half turns failures into its exceptions.
#include "catalogue/fieldvalues.h"
#include "catalogue/registerdiff.h"
#include "catalogue/registerexport.h"
#include "device/linklibrary.h"
#include "device/portchoice.h"
#include "device/programversion.h"
#include "device/settingsfile.h"
#include "device/sleeper.h"
#include "files/registerimage.h"
#include "session/boardsession.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace py = pybind11;
using namespace larkspur;

namespace {

class Lines final : public SessionReporter {
public:
    void report(const std::string& line) override { m_lines.push_back(line); }
    void warn(const std::string& line) override { m_warnings.push_back(line); }
    std::vector<std::string> take() { return std::exchange(m_lines, {}); }
    std::vector<std::string> takeWarnings() { return std::exchange(m_warnings, {}); }

private:
    std::vector<std::string> m_lines;
    std::vector<std::string> m_warnings;
};

// Where this module lies: the library is looked for beside it first, as beside a program.
std::string moduleFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return std::filesystem::path(info.dli_fname).parent_path().string();
}

// The link library keeps one port per process: one session may hold it at a time, and the
// port listing's probes need it free. Claimed before the port is opened, so that two threads
// cannot both open one.
std::atomic<bool> g_linkHeld{false};

int statusNumber(SessionStatus status) {
    return static_cast<int>(status);
}

const char* stepName(LinkFailure::Step step) {
    switch (step) {
    case LinkFailure::Step::CodecWrite:
        return "write";
    case LinkFailure::Step::CodecRead:
        return "read";
    case LinkFailure::Step::BoardWrite:
        return "board write";
    }
    return "";
}

// A failed transaction: the call ("read", "write", "board write"), the library's code, the
// register.
using Failure = std::optional<std::tuple<std::string, int, std::uint32_t>>;
// What one call came to: the session's status, the lines it reported and its failed
// transaction. Taken under the call's own lock, so that it is that call's, whatever other
// threads do with the Board.
using Outcome = std::tuple<int, std::vector<std::string>, Failure>;

class Session {
    // Defined before their first use, which deduces their type.
    // One call at a time on a session, as the core wants it; a thread waits for the call
    // before it without holding the GIL, so the thread in the call can take it back.
    template <typename Fn> auto locked(Fn&& fn) {
        const py::gil_scoped_release free;
        const std::lock_guard<std::mutex> hold(m_calls);
        return fn();
    }
    // As locked(), for a call that needs the open link.
    template <typename Fn> auto onBoard(Fn&& fn) {
        return locked([&] {
            if (!m_open) {
                throw std::runtime_error("the Board is not open");
            }
            return fn();
        });
    }

public:
    Session()
        : m_library(moduleFolder(), LARKSPUR_LIBRARY_FOLDER_FROM_MODULE,
                    LARKSPUR_BUILD_LIBRARY_FOLDER_FROM_MODULE),
          m_session({m_library, m_sleeper, PortSystem::real(), SettingsFile::defaultPath()},
                    m_lines) {}
    ~Session() { close(); }

    // The warnings of the settings' load.
    std::vector<std::string> select(std::optional<int> interfaceIndex, std::optional<int> address) {
        return locked([&] {
            m_session.selectDevice(interfaceIndex, address);
            return m_lines.takeWarnings();
        });
    }

    // The port: a number (0 the search), a path or a URL; the status and the lines reported.
    std::pair<int, std::vector<std::string>> open(const std::string& port) {
        const PortChoice choice = port.empty() ? PortChoice{} : parsePortChoice(port);
        return locked([&] {
            if (m_open) {
                return std::pair{statusNumber(SessionStatus::Done), std::vector<std::string>{}};
            }
            if (g_linkHeld.exchange(true)) {
                throw std::runtime_error("another Board is open in this process: the link "
                                         "library holds one port per process");
            }
            applyPortChoice(choice);
            const SessionStatus status = m_session.open(choice.port());
            m_open = status == SessionStatus::Done;
            if (!m_open) {
                g_linkHeld = false;
            }
            return std::pair{statusNumber(status), m_lines.take()};
        });
    }

    void close() {
        locked([&] {
            if (m_open) {
                m_session.close();
                g_linkHeld = false;
            }
            m_open = false;
        });
    }

    bool isOpen() {
        return locked([&] { return m_open; });
    }

    std::pair<RegisterValues, Outcome> read(std::uint32_t first, int count) {
        return onBoard([&] {
            RegisterValues values = m_session.read(first, count);
            return std::pair{std::move(values), outcome(m_session.linkStatus())};
        });
    }
    Outcome write(std::uint32_t first, const std::vector<std::uint8_t>& values) {
        return onBoard([&] {
            m_session.write(first, values);
            return outcome(m_session.linkStatus());
        });
    }
    std::pair<std::optional<RegisterValues>, Outcome> snapshot() {
        return onBoard([&] {
            std::optional<RegisterValues> values = m_session.snapshot();
            return std::pair{std::move(values), outcome(m_session.linkStatus())};
        });
    }
    // The outcome, and where a script stopped on a line that is no script line.
    std::pair<Outcome, std::optional<std::tuple<std::string, int, std::string>>>
    runScript(const std::string& file, bool keepGoing) {
        return onBoard([&] {
            const SessionStatus status = m_session.runScript(file, keepGoing);
            std::optional<std::tuple<std::string, int, std::string>> where;
            if (const auto& failure = m_session.scriptFailure()) {
                where = std::tuple{failure->name, failure->line, failure->message};
            }
            return std::pair{outcome(status), std::move(where)};
        });
    }
    std::pair<std::optional<std::tuple<std::string, std::uint32_t, std::uint8_t>>, Outcome>
    getField(const std::string& key) {
        const BoundControl& row = BoardSession::field(key);
        return onBoard([&] {
            m_session.checkField(row, false);
            std::optional<std::tuple<std::string, std::uint32_t, std::uint8_t>> field;
            if (const auto value = m_session.getField(row)) {
                field = std::tuple{value->text, value->address, value->value};
            }
            return std::pair{std::move(field), outcome(m_session.linkStatus())};
        });
    }
    // The field's text as written (an attenuation on the codec's step), none on a failure.
    std::pair<std::optional<std::string>, Outcome> setField(const std::string& key,
                                                            const std::string& text) {
        const BoundControl& row = BoardSession::field(key);
        return onBoard([&] {
            std::optional<std::string> written;
            if (const auto value = m_session.setField(row, text)) {
                written = value->text;
            }
            return std::pair{std::move(written), outcome(m_session.linkStatus())};
        });
    }
    std::pair<std::optional<std::pair<bool, bool>>, Outcome> flags() {
        return onBoard([&] {
            const auto zero = m_session.flags();
            return std::pair{zero, outcome(m_session.linkStatus())};
        });
    }
    Outcome reset(const std::string& which) {
        BoardSession::checkReset(which);
        return onBoard([&] {
            m_session.reset(which);
            return outcome(m_session.linkStatus());
        });
    }

    // The status, the rows and the lines reported (why the library could not be loaded).
    std::tuple<int, std::vector<std::tuple<int, std::string, std::string, std::string>>,
               std::vector<std::string>>
    ports(bool includeAbsent) {
        return locked([&] {
            // The probes open ports through the one link of the process: an open Board would
            // lose its own.
            if (g_linkHeld.exchange(true)) {
                throw std::runtime_error("close the Board before listing the ports: their "
                                         "probes use the process's one link");
            }
            SessionStatus status = SessionStatus::Done;
            const std::vector<PortReport> reports = m_session.ports(includeAbsent, status);
            g_linkHeld = false;
            std::vector<std::tuple<int, std::string, std::string, std::string>> rows;
            for (const PortReport& report : reports) {
                rows.emplace_back(report.number, report.path, portStateName(report.state),
                                  report.reason);
            }
            return std::tuple{statusNumber(status), std::move(rows), m_lines.take()};
        });
    }

private:
    Outcome outcome(SessionStatus status) {
        Failure failure;
        if (const auto last = m_session.lastLinkFailure()) {
            failure = std::tuple{std::string(stepName(last->step)), last->code, last->address};
        }
        return {statusNumber(status), m_lines.take(), std::move(failure)};
    }

    ThreadSleeper m_sleeper;
    Lines m_lines;
    LinkLibrary m_library;
    BoardSession m_session;
    std::mutex m_calls;
    bool m_open = false;
};

// Every field of the catalogue: name, caption, register, shift, width, choices, settable, kind.
std::vector<std::tuple<std::string, std::string, int, int, int, std::string, bool, int>> fields() {
    std::vector<std::tuple<std::string, std::string, int, int, int, std::string, bool, int>> rows;
    for (const BoundControl& row : controlCatalogue()) {
        rows.emplace_back(row.name, row.caption, row.reg, row.shift, row.width,
                          fieldChoices(row, false), row.enabled, static_cast<int>(row.kind));
    }
    return rows;
}

// The field a key names (by name, caption, then caption in any case): its name, or none with
// the names of every field the key names alike (empty: none at all).
std::pair<std::optional<std::string>, std::vector<std::string>>
findFieldName(const std::string& key) {
    std::vector<std::string_view> matches;
    if (const BoundControl* row = findField(key, &matches)) {
        return {std::string(row->name), {}};
    }
    return {std::nullopt, std::vector<std::string>(matches.begin(), matches.end())};
}

// A snapshot or history file played into the ten registers: the values, or where it failed.
std::pair<std::optional<std::vector<int>>, std::optional<std::tuple<std::string, int, std::string>>>
image(const std::string& path) {
    const ImageOutcome outcome = replayFileIntoImage(path);
    if (!outcome.values) {
        return {std::nullopt, std::tuple{path, outcome.line, outcome.message}};
    }
    return {std::vector<int>(outcome.values->begin(), outcome.values->end()), std::nullopt};
}

RegisterImage imageOf(const std::vector<int>& values) {
    if (values.size() != kRegisterCount) {
        throw ArgumentError("an image holds the " + std::to_string(kRegisterCount) +
                            " registers 0x10 to 0x19");
    }
    RegisterImage image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (values[i] < 0 || values[i] > 0xFF) {
            throw ArgumentError("value '" + std::to_string(values[i]) + "' is not 0 to 255");
        }
        image[i] = static_cast<std::uint8_t>(values[i]);
    }
    return image;
}

// The fields that differ (name, caption, kind, items, texts) and the bits outside any field
// (register, mask, bits before, after).
std::pair<
    std::vector<std::tuple<std::string, std::string, int, int, int, std::string, std::string>>,
    std::vector<std::tuple<int, int, int, int>>>
diff(const std::vector<int>& before, const std::vector<int>& after) {
    const RegisterDiff found = diffRegisters(imageOf(before), imageOf(after));
    std::vector<std::tuple<std::string, std::string, int, int, int, std::string, std::string>>
        fields;
    for (const FieldChange& change : found.fields) {
        fields.emplace_back(change.field->name, change.field->caption,
                            static_cast<int>(change.field->kind), change.before, change.after,
                            change.beforeText, change.afterText);
    }
    std::vector<std::tuple<int, int, int, int>> bits;
    for (const BitsChange& change : found.bits) {
        bits.emplace_back(change.reg, change.mask, change.before, change.after);
    }
    return {std::move(fields), std::move(bits)};
}

// The setup in `values` for firmware: "c", "linux" or "json".
std::string exportSetup(const std::vector<int>& values, const std::string& format) {
    const RegisterImage image = imageOf(values);
    if (format == "c") {
        return exportC(image);
    }
    if (format == "linux") {
        return exportLinux(image);
    }
    if (format == "json") {
        return exportJson(image);
    }
    throw ArgumentError("format is c, linux or json, not '" + format + "'");
}

} // namespace

PYBIND11_MODULE(_larkspur, module) {
    module.doc() = "The compiled half of larkspur: the board session of Larkspur's core.";
    py::register_exception<ArgumentError>(module, "ArgumentError", PyExc_ValueError);
    module.attr("INTERFACE_IIC") = kInterfaceI2c;
    module.attr("INTERFACE_SPI") = kInterfaceSpi;
    module.attr("DONE") = statusNumber(SessionStatus::Done);
    module.attr("NO_BOARD") = statusNumber(SessionStatus::NoBoard);
    module.attr("LINK_FAILURE") = statusNumber(SessionStatus::LinkFailure);
    module.attr("FILE_ERROR") = statusNumber(SessionStatus::FileError);
    module.def("fields", &fields);
    module.def("find_field", &findFieldName);
    module.attr("VERSION") = programVersion();
    module.attr("LIBRARY_FILE") = LinkLibrary::fileName();
    module.def("image", &image);
    module.def("diff", &diff);
    module.def("export", &exportSetup);
    module.attr("KIND_CHECK_BOX") = static_cast<int>(ControlKind::CheckBox);
    module.attr("KIND_TRACK") = static_cast<int>(ControlKind::Track);
    py::class_<Session>(module, "Session")
        .def(py::init<>())
        .def("select", &Session::select)
        .def("open", &Session::open)
        .def("close", &Session::close)
        .def("is_open", &Session::isOpen)
        .def("read", &Session::read)
        .def("write", &Session::write)
        .def("snapshot", &Session::snapshot)
        .def("run_script", &Session::runScript)
        .def("get_field", &Session::getField)
        .def("set_field", &Session::setField)
        .def("flags", &Session::flags)
        .def("reset", &Session::reset)
        .def("ports", &Session::ports);
}
