// Register scripts: text files of register writes and pauses, played onto the codec line by line
// through the same WriteRegister as the bound controls. Run from the File menu with the progress
// window, and at start-up from "startup.csv" without it.
#pragma once

#include "device/registeraccess.h"
#include "device/sleeper.h"
#include "device/userdialogs.h"

#include <functional>
#include <string>

namespace larkspur {

// What a run asks of the main window. A run holds the GUI thread from start to end, so the
// window paints only when told to.
class ScriptView {
public:
    virtual ~ScriptView() = default;
    // Shows the script progress window (modeless) and paints it before returning. Only runs
    // started from the menu show it.
    virtual void showProgress() = 0;
    // The progress bar at `percent` (0 to 100): the share of the file's lines before the one
    // about to run. Set before every line, whether or not the window is shown.
    virtual void setProgress(int percent) = 0;
    // Hides the progress window. Called at the end of every run that found its file, also when
    // the window was not shown.
    virtual void hideProgress() = 0;
    // Sets every bound control from the shadow register file. Called at the end of every run
    // that found its file, while the history flag is still clear: the writes the refresh raises
    // reach the board but are not logged.
    virtual void refreshControls() = 0;
};

class RegisterScript {
public:
    RegisterScript(RegisterAccess& access, UserDialogs& dialogs, Sleeper& sleeper,
                   ScriptView& view);

    // Runs one script file; a bare name is looked up in the current directory. False (after
    // "File not exist.") when nothing is there; true otherwise, also when a bad line or an
    // unreadable file ended the run. Script writes are never entered in the history, and the
    // history flag is set after every run that found its file.
    bool RunRegisterScript(const std::string& fileName, bool showProgress);

    // Runs a script's text as RunRegisterScript runs a file's (standard input, for example).
    void runScriptText(const std::string& bytes, bool showProgress);

    // The 1-based line that stopped the last run with an error; 0 when none did.
    int badLine() const { return m_badLine; }
    // The 1-based line running now; 0 outside a run.
    int currentLine() const { return m_currentLine; }
    // A run stops after the first line whose write the link reports as failed (badLine() is
    // that line). Off by default: the window's runs go on, as a link failure never stops the
    // panel.
    void setStopOnLinkFailure(bool on) { m_stopOnLinkFailure = on; }
    bool stoppedOnLinkFailure() const { return m_stoppedOnLinkFailure; }

    // Asks the user for a script, then runs it with the progress window (File > Open script).
    void chooseAndRunScript();

    // The start-up script: "startup.csv" in the current directory, without the progress window,
    // skipped without a word when there is none. For the device connection's start-up sequence.
    void runStartupScript();

    // The settings the script's open dialog (OpenDialog1) is shown with.
    static UserDialogs::FileDialog scriptDialog();

private:
    // Runs `body` with the history flag clear, and the end steps after it whatever happens.
    void run(const std::function<void()>& body);
    void runLines(const std::string& bytes, bool showProgress);
    // The refresh and the progress window's hiding.
    void endRun();

    RegisterAccess& m_access;
    UserDialogs& m_dialogs;
    Sleeper& m_sleeper;
    ScriptView& m_view;
    int m_badLine = 0;
    int m_currentLine = 0;
    bool m_stopOnLinkFailure = false;
    bool m_stoppedOnLinkFailure = false;
};

} // namespace larkspur
