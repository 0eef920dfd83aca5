// The connection to the board: start-up, Reconnect, the codec's resets, shutdown and the library
// version, shown through view interfaces so that the sequences run the same under any front end
// and under test.
#pragma once

#include "linkentries.h"
#include "linkloader.h"
#include "registeraccess.h"
#include "sleeper.h"
#include "userdialogs.h"

#include <functional>
#include <optional>
#include <string>

namespace larkspur {

// The busy notice with its text and progress. The sequences hold the event loop while they run,
// so the notice is painted on request.
class BusyNotice {
public:
    virtual ~BusyNotice() = default;
    virtual void showBusy(const std::string& text) = 0; // shows it with this text, painted
    virtual void setBusyText(const std::string& text) = 0;
    virtual void setBusyProgress(int minimum, int maximum, int position, bool visible) = 0;
    virtual void repaintBusy() = 0;
    virtual void hideBusy() = 0;
    // Handles the messages that are waiting, input included: Reconnect's one pass, before it
    // takes the link down. Everything else paints the notice without handling input, so that a
    // click made meanwhile runs after the sequence, not inside it under its holds.
    virtual void catchUp() = 0;
};

// Whether a board was found: the status line and the indicator of the board connection.
class ConnectionStatus {
public:
    enum class Connection { None = 0, Connected = 1 };

    virtual ~ConnectionStatus() = default;
    virtual void showStatus(const std::string& text) = 0;
    virtual void showConnection(Connection state) = 0;
};

// The front end's controls: the settings the sequences read from them, and what they reset.
class ConnectionControls {
public:
    virtual ~ConnectionControls() = default;
    // The interface the user selected: kInterfaceI2c or kInterfaceSpi.
    virtual int selectedInterface() const = 0;
    // The codec's audio interface is set to be the slave.
    virtual bool codecIsSlave() const = 0;
    // Every control and the register map from the shadow register file.
    virtual void refreshControls() = 0;
    // Both zero-flag lamps unlit.
    virtual void clearZeroFlags() = 0;
    // The register setting history emptied, as start-up begins.
    virtual void clearHistory() = 0;
};

// How start-up or Reconnect ended, as a value; the front end was shown the same as it happened.
struct ConnectOutcome {
    enum class End {
        Connected,      // a board answered and was set up
        NotLoaded,      // Reconnect without a library: nothing was done
        CannotLoad,     // the library could not be loaded
        InvalidLibrary, // it lacks an entry
        NoBoard,        // no board answered the search (or the port tried alone)
    };
    End end = End::Connected;
    // CannotLoad: where the library was looked for; NoBoard: what stands behind the ports, when
    // a survey is set. None otherwise.
    std::optional<std::string> details;
    // The sequence's transactions that failed, and those shown.
    FailureRecord failures;
};

class DeviceConnection {
public:
    // `startupScript` runs once start-up has read the codec, before the controls are refreshed;
    // none for a front end without one.
    DeviceConnection(RegisterAccess& access, LinkLoader& loader, UserDialogs& dialogs,
                     Sleeper& sleeper, BusyNotice& busy, ConnectionStatus& status,
                     ConnectionControls& controls, std::function<void()> startupScript);

    // Start-up: loads the library, searches for the board (or tries `port` alone), sets it up,
    // reads the codec (I2C) or takes the defaults (SPI), runs the start-up script and refreshes
    // the controls.
    ConnectOutcome start(int port = 0);
    // Reconnect: closes the link, waits, searches again (or tries start-up's port alone), resets
    // the codec and sets the board up. The codec's reset may fail while the codec resets: that
    // failure is neither shown nor part of the outcome.
    ConnectOutcome reconnect();
    // The codec's register reset (MRST), then the defaults; the re-sync (SRST). Each gives the
    // failures of its writes.
    FailureRecord masterReset();
    FailureRecord syncReset();
    // Shutdown: closes the link and unloads the library.
    void shutdown();

    // Loads the link library and binds it to register access, showing nothing: start-up's first
    // step, and how a caller without start-up opens the library. Once loaded, it stays so until
    // shutdown.
    LinkLoader::Status loadLibrary();
    // Where the library was looked for when it could not be loaded; empty when unknown.
    std::string searchReport() const { return m_loader.searchReport(); }
    // The loaded library's entries; null when none is loaded.
    const LinkEntries* link() const { return m_loaded ? m_loader.entries() : nullptr; }

    // "1.5.0.0" from the library's version, or `current` when no library is bound.
    std::string versionText(const std::string& current) const;

    bool libraryLoaded() const { return m_loaded; }

    // What stands behind the ports, shown with "No EVM was found" (see portdiagnostics.h); none
    // when not set.
    void setPortSurvey(std::function<std::string()> survey) { m_portSurvey = std::move(survey); }

    // The board set-up sequence: board settings written one byte each, in this order.
    void sendBoardSetup();

private:
    void showFound(bool found);
    // Start-up's read of the codec into the shadow (IIC) or its defaults (SPI), one step of the
    // busy notice's progress per register.
    void readCodec();
    // Shows the box and gives the outcome.
    ConnectOutcome noBoard(const char* text);
    ConnectOutcome ended(ConnectOutcome::End end, std::optional<std::string> details = {});

    RegisterAccess& m_access;
    LinkLoader& m_loader;
    UserDialogs& m_dialogs;
    Sleeper& m_sleeper;
    BusyNotice& m_busy;
    ConnectionStatus& m_status;
    ConnectionControls& m_controls;
    std::function<void()> m_startupScript;
    std::function<std::string()> m_portSurvey;
    int m_port = 0; // start-up's; 0: the search
    bool m_loaded = false;
};

// "%1d.%1d.%1d.%1d" of the four 4-bit digits of a version number.
std::string versionDigits(int version);

} // namespace larkspur
