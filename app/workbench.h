// The program's core objects, built in one place and owned together: the settings file, register
// access, the device connection, register scripts and saved files, wired to the main window as
// their view. The real dialogs, sleeps and link library stand in for whatever the caller leaves
// out, so that tests give fakes and the program gives nothing.
#pragma once

#include "device/deviceconnection.h"
#include "device/linkloader.h"
#include "device/registeraccess.h"
#include "device/settingsfile.h"
#include "device/sleeper.h"
#include "device/userdialogs.h"
#include "files/coreparts.h"
#include "files/registerdump.h"
#include "files/registerscript.h"

#include <filesystem>
#include <memory>

namespace larkspur {

class TForm1;

// What the core asks of the world; each null or empty member takes the real one.
struct Form1Services {
    UserDialogs* dialogs = nullptr;     // Qt message boxes owned by the main window
    Sleeper* sleeper = nullptr;         // the thread sleeps
    LinkLoader* loader = nullptr;       // the link library beside the program
    std::filesystem::path settingsPath; // Larkspur.ini in the user's configuration folder
    int port = 0; // the only port start-up and Reconnect try (--port); 0: the search
};

class Workbench {
public:
    // `window` is the view of every sequence; it must outlive the workbench's use.
    Workbench(TForm1& window, Form1Services services);
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    UserDialogs& dialogs() { return *m_dialogs; }
    SettingsFile& settings() { return m_settings; }
    RegisterAccess& access() { return m_core.access(); }
    DeviceConnection& connection() { return m_core.connection(); }
    RegisterScript& script() { return m_core.script(); }
    RegisterDump& dump() { return m_core.dump(); }
    // The port start-up is to try alone; 0: the search.
    int port() const { return m_port; }

private:
    std::unique_ptr<UserDialogs> m_ownDialogs;
    std::unique_ptr<Sleeper> m_ownSleeper;
    std::unique_ptr<LinkLoader> m_ownLoader;
    UserDialogs* m_dialogs;
    Sleeper* m_sleeper;
    LinkLoader* m_loader;
    SettingsFile m_settings;
    CoreParts m_core;
    int m_port;
};

// Builds the core behind `window` and wires the window to it (TForm1::FormCreate): how the shell
// starts the program, in one call. Destroy the window before the core.
std::unique_ptr<Workbench> attachCore(TForm1& window, Form1Services services);

} // namespace larkspur
