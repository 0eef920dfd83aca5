// The compiled half of the Python package: the core's board session, with the blocking calls
// letting other Python threads run. Failures come back as values; the pure-Python half turns
// them into its exceptions.
#include "catalogue/fieldvalues.h"
#include "device/boardsession.h"
#include "device/linklibrary.h"
#include "device/portchoice.h"
#include "device/settingsfile.h"
#include "device/sleeper.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <dlfcn.h>
#include <filesystem>

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

// The link library keeps one port per process: one session may hold it at a time.
bool g_sessionOpen = false;

int statusNumber(SessionStatus status) {
    return static_cast<int>(status);
}

const char* stepName(RegisterAccess::LinkFailure::Step step) {
    switch (step) {
    case RegisterAccess::LinkFailure::Step::CodecWrite:
        return "write";
    case RegisterAccess::LinkFailure::Step::CodecRead:
        return "read";
    case RegisterAccess::LinkFailure::Step::BoardWrite:
        return "board write";
    }
    return "";
}

class Session {
public:
    Session()
        : m_library(moduleFolder(), LARKSPUR_LIBRARY_FOLDER_FROM_MODULE,
                    LARKSPUR_BUILD_LIBRARY_FOLDER_FROM_MODULE),
          m_session({m_library, m_sleeper, PortSystem::real(), SettingsFile::defaultPath()},
                    m_lines) {}
    ~Session() { close(); }

    void select(std::optional<int> interfaceIndex, std::optional<int> address) {
        m_session.selectDevice(interfaceIndex, address);
    }

    // The port: a number (0 the search), a path or a URL; the status.
    int open(const std::string& port) {
        if (g_sessionOpen) {
            throw std::runtime_error("another Board is open in this process: the link library "
                                     "holds one port per process");
        }
        const PortChoice choice = port.empty() ? PortChoice{} : parsePortChoice(port);
        applyPortChoice(choice);
        SessionStatus status = SessionStatus::Done;
        {
            py::gil_scoped_release free;
            status = m_session.open(choice.port());
        }
        m_open = status == SessionStatus::Done;
        g_sessionOpen = m_open;
        return statusNumber(status);
    }

    void close() {
        if (m_open) {
            py::gil_scoped_release free;
            m_session.close();
        }
        if (m_open) {
            g_sessionOpen = false;
        }
        m_open = false;
    }

    bool isOpen() const { return m_open; }

    RegisterValues read(std::uint32_t first, int count) {
        py::gil_scoped_release free;
        return m_session.read(first, count);
    }
    void write(std::uint32_t first, const std::vector<std::uint8_t>& values) {
        py::gil_scoped_release free;
        m_session.write(first, values);
    }
    std::optional<RegisterValues> snapshot() {
        py::gil_scoped_release free;
        return m_session.snapshot();
    }
    int runScript(const std::string& file, bool keepGoing) {
        py::gil_scoped_release free;
        return statusNumber(m_session.runScript(file, keepGoing));
    }
    std::optional<std::tuple<std::string, std::uint32_t, std::uint8_t>>
    getField(const std::string& key) {
        const BoundControl& row = BoardSession::field(key);
        m_session.checkField(row, false);
        py::gil_scoped_release free;
        const auto value = m_session.getField(row);
        if (!value) {
            return std::nullopt;
        }
        return std::tuple{value->text, value->address, value->value};
    }
    void setField(const std::string& key, const std::string& text) {
        const BoundControl& row = BoardSession::field(key);
        m_session.checkField(row, true);
        py::gil_scoped_release free;
        m_session.setField(row, text);
    }
    std::optional<std::pair<bool, bool>> flags() {
        py::gil_scoped_release free;
        return m_session.flags();
    }
    void reset(const std::string& which) {
        BoardSession::checkReset(which);
        py::gil_scoped_release free;
        m_session.reset(which);
    }
    int linkStatus() const { return statusNumber(m_session.linkStatus()); }
    std::optional<std::tuple<std::string, int, std::uint32_t>> lastFailure() const {
        const auto& failure = m_session.lastLinkFailure();
        if (!failure) {
            return std::nullopt;
        }
        return std::tuple{std::string(stepName(failure->step)), failure->code, failure->address};
    }
    std::optional<std::tuple<std::string, int, std::string>> scriptFailure() const {
        const auto& failure = m_session.scriptFailure();
        if (!failure) {
            return std::nullopt;
        }
        return std::tuple{failure->name, failure->line, failure->message};
    }
    std::vector<std::string> takeLines() { return m_lines.take(); }
    std::vector<std::string> takeWarnings() { return m_lines.takeWarnings(); }

    std::pair<int, std::vector<std::tuple<int, std::string, std::string, std::string>>>
    ports(bool includeAbsent) {
        // The probes open ports through the one link of the process: an open Board would lose
        // its own.
        if (g_sessionOpen) {
            throw std::runtime_error("close the Board before listing the ports: their probes "
                                     "use the process's one link");
        }
        SessionStatus status = SessionStatus::Done;
        std::vector<PortReport> reports;
        {
            py::gil_scoped_release free;
            reports = m_session.ports(includeAbsent, status);
        }
        std::vector<std::tuple<int, std::string, std::string, std::string>> rows;
        for (const PortReport& report : reports) {
            rows.emplace_back(report.number, report.path, portStateName(report.state),
                              report.reason);
        }
        return {statusNumber(status), rows};
    }

private:
    ThreadSleeper m_sleeper;
    Lines m_lines;
    LinkLibrary m_library;
    BoardSession m_session;
    bool m_open = false;
};

// Every field of the catalogue: name, caption, register, shift, width, choices, settable.
std::vector<std::tuple<std::string, std::string, int, int, int, std::string, bool>> fields() {
    std::vector<std::tuple<std::string, std::string, int, int, int, std::string, bool>> rows;
    for (const BoundControl& row : controlCatalogue()) {
        rows.emplace_back(row.name, row.caption, row.reg, row.shift, row.width,
                          fieldChoices(row, false), row.enabled);
    }
    return rows;
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
        .def("link_status", &Session::linkStatus)
        .def("last_failure", &Session::lastFailure)
        .def("script_failure", &Session::scriptFailure)
        .def("take_lines", &Session::takeLines)
        .def("take_warnings", &Session::takeWarnings)
        .def("ports", &Session::ports);
}
