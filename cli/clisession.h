// One run of larkspur-cli: the program's core objects with the terminal as their view, and the
// commands on top of them. Nothing here reimplements the core: register access, the device
// connection, scripts, the snapshot, the catalogue's bit-fields and the port diagnostics are
// the program's own.
#pragma once

#include "clioptions.h"
#include "controlcatalogue.h"
#include "deviceconnection.h"
#include "portdiagnostics.h"
#include "registeraccess.h"
#include "registerdump.h"
#include "registerscript.h"
#include "userdialogs.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace larkspur::cli {

// What a run uses of the world; main() gives the real one, tests what they need.
struct CliWorld {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    LinkLoader& loader;
    Sleeper& sleeper;
    PortSystem ports;
    std::filesystem::path settingsPath;
};

class CliSession final : private UserDialogs,
                         private ConnectionView,
                         private RegisterMapView,
                         private HistoryView,
                         private ScriptView {
public:
    explicit CliSession(CliWorld world);

    // Runs the command of `options`; the exit status.
    int run(const CliOptions& options);

private:
    // UserDialogs: messages go to the error stream in the program's words.
    void message(const std::string& text) override;
    void error(const std::string& caption, const std::string& text) override;
    void errorWithDetails(const std::string& caption, const std::string& text,
                          const std::string& details) override;
    bool question(const std::string& caption, const std::string& text) override;
    std::string openFileName(const FileDialog& dialog) override;
    std::string saveFileName(const FileDialog& dialog) override;

    // The views: a terminal shows no busy notice, controls or map.
    void clearHistory() override {}
    void showBusy(const std::string&) override {}
    void setBusyText(const std::string&) override {}
    void setBusyProgress(int, int, int, bool) override {}
    void repaintBusy() override {}
    void hideBusy() override {}
    void catchUp() override {}
    void showStatus(const std::string&) override {}
    void showConnection(Connection) override {}
    int selectedInterface() const override { return m_interface; }
    // The master/slave list shows Slave until the codec is read: what start-up sends.
    bool codecIsSlave() const override { return true; }
    void refreshControls() override {}
    void clearZeroFlags() override {}
    void runStartupScript() override {}
    void ShowRegisterBits(int, int) override {}
    void appendHistoryLine(const std::string& line) override { m_writes.push_back(line); }
    void showProgress() override {}
    void setProgress(int) override {}
    void hideProgress() override {}

    int dispatch(const CliOptions& options);
    // The interface and address: the options, else Larkspur.ini.
    void selectDevice(const CliOptions& options);
    // The port number for _init: --port, 1 for a device path, else 0 (the search).
    int requestedPort(const CliOptions& options) const;
    int loadLibrary();
    // Loads the library and opens the link on the chosen port; the exit status.
    int openLink(const CliOptions& options);
    void closeLink();
    int noBoard(const CliOptions& options);
    int linkStatus() const;
    const BoundControl& field(const std::string& key) const;
    // Bit-fields are read-modify-write of the codec's value, which SPI does not give back.
    void requireReadBack() const;
    std::uint32_t codecAddress(int reg) const;
    // The attenuation mode the codec is in: the wide range (1 dB steps) or fine.
    bool wideRange();

    int ports(const CliOptions& options);
    int connect(const CliOptions& options);
    int read(const CliOptions& options);
    int write(const CliOptions& options);
    int dump(const CliOptions& options);
    int runScript(const CliOptions& options);
    int fields(const CliOptions& options);
    int getField(const CliOptions& options);
    int setField(const CliOptions& options);
    int flags(const CliOptions& options);
    int reset(const CliOptions& options);
    int version();

    void printRegisters(const CliOptions& options,
                        const std::vector<std::pair<std::uint32_t, std::uint8_t>>& registers);
    // The same where a register may have no value (its read failed).
    void printRegisters(
        const CliOptions& options,
        const std::vector<std::pair<std::uint32_t, std::optional<std::uint8_t>>>& registers);
    void printWrites(const CliOptions& options);

    CliWorld m_world;
    RegisterAccess m_access;
    DeviceConnection m_connection;
    RegisterScript m_script;
    RegisterDump m_dump;
    int m_interface = kInterfaceSpi;
    std::vector<std::string> m_writes;
    std::string m_scriptName;
    bool m_scriptError = false;
    bool m_libraryLoaded = false;
};

} // namespace larkspur::cli
