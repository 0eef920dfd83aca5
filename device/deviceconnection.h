// The connection to the board: start-up, Reconnect, shutdown and the library version, driving
// the windows through a view interface so the sequences run the same under test.
#pragma once

#include "linkentries.h"
#include "registeraccess.h"
#include "userdialogs.h"

#include <string>

namespace larkspur {

// Loads and binds the link library; LinkLibrary is the real one.
class LinkLoader {
public:
    enum class Status { Loaded, CannotLoad, Invalid };
    virtual ~LinkLoader() = default;
    virtual Status load() = 0;
    virtual void unload() = 0;
    // Null while nothing is loaded.
    virtual const LinkEntries* entries() const = 0;
};

// What the sequences show and ask of the main window.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;
    virtual void clearHistory() = 0;
    // The splash window doubles as the busy notice. The loop is held while the sequences run,
    // so the window is painted on request.
    virtual void showSplash(const std::string& text) = 0; // shows, sets the text, paints
    virtual void setSplashText(const std::string& text) = 0;
    virtual void setSplashProgress(int minimum, int maximum, int position, bool visible) = 0;
    virtual void paintSplash() = 0;
    virtual void hideSplash() = 0;
    virtual void processPendingEvents() = 0;
    virtual void setStatusText(const std::string& text) = 0;
    // 0 "No EVM", 1 "Connected".
    virtual void showConnectionImage(int index) = 0;
    virtual int interfaceIndex() const = 0;      // item of rgInterface
    virtual bool masterSlaveIsSlave() const = 0; // cbDACMasterSlave shows "Slave"
    virtual void RefreshControls() = 0;
    virtual void btnZeroClrClick() = 0;
    virtual void runStartupScript() = 0;
};

inline constexpr int kConnectionImageNone = 0;
inline constexpr int kConnectionImageConnected = 1;

class DeviceConnection {
public:
    DeviceConnection(RegisterAccess& access, LinkLoader& loader, UserDialogs& dialogs,
                     Sleeper& sleeper, ConnectionView& view);

    void FormShow();
    void bBDRSTClick();
    void FormClose();

    // "1.5.0.0" from the library's version, or `current` when no library is bound.
    std::string versionText(const std::string& current) const;

    bool libraryLoaded() const { return m_loaded; }

    // The board set-up sequence: board settings written one byte each, in this order.
    void sendBoardSetup();

private:
    RegisterAccess& m_access;
    LinkLoader& m_loader;
    UserDialogs& m_dialogs;
    Sleeper& m_sleeper;
    ConnectionView& m_view;
    bool m_loaded = false;
};

// "%1d.%1d.%1d.%1d" of the four 4-bit digits of a version number.
std::string versionDigits(int version);

} // namespace larkspur
