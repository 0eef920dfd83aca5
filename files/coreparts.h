// The core's parts built together and wired to one front end: register access, the connection's
// sequences, scripts and the snapshot. The window's composition root and the headless session
// both build theirs here.
#pragma once

#include "device/deviceconnection.h"
#include "device/linkloader.h"
#include "device/registeraccess.h"
#include "device/sleeper.h"
#include "device/userdialogs.h"
#include "registerdump.h"
#include "registerscript.h"

namespace larkspur {

// What the core shows and asks through; all must outlive the parts.
struct FrontEnd {
    UserDialogs& dialogs;
    BusyNotice& busy;
    ConnectionStatus& status;
    ConnectionControls& controls;
    RegisterMapView& map;
    HistoryView& history;
    ScriptView& script;
};

class CoreParts {
public:
    // Whether start-up runs the program's start-up script (the window's does; a session's not).
    enum class StartupScript { Skipped, Run };

    CoreParts(const FrontEnd& frontEnd, Sleeper& sleeper, LinkLoader& loader,
              StartupScript startupScript);
    CoreParts(const CoreParts&) = delete;
    CoreParts& operator=(const CoreParts&) = delete;

    RegisterAccess& access() { return m_access; }
    const RegisterAccess& access() const { return m_access; }
    DeviceConnection& connection() { return m_connection; }
    const DeviceConnection& connection() const { return m_connection; }
    RegisterScript& script() { return m_script; }
    RegisterDump& dump() { return m_dump; }

private:
    RegisterAccess m_access;
    DeviceConnection m_connection;
    RegisterScript m_script;
    RegisterDump m_dump;
};

} // namespace larkspur
