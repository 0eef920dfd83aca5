// Register scripts: text files of register writes and pauses, played onto the codec line by line
// through the same WriteRegister as the bound controls. Run from the File menu with the progress
// window, and at start-up from "startup.csv" without it.
#pragma once

#include "device/registeraccess.h"
#include "device/sleeper.h"
#include "device/userdialogs.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// How a run ended, as a value.
struct ScriptOutcome {
    enum class End {
        Done,        // every line ran (link failures may have happened: see firstFailure)
        NotFound,    // no file of that name: "File not exist."
        Unreadable,  // the file is there but cannot be read
        BadLine,     // a line that is no record stopped the run
        LinkFailure, // a write the link failed stopped the run (when told to stop on one)
    };
    End end = End::Done;
    int line = 0;        // BadLine, LinkFailure: the 1-based line the run stopped at
    std::string message; // NotFound, Unreadable, BadLine: what the window shows
    // The first write of the run that the link failed, and its line, whether the run went on;
    // and the last (the same one unless the run went on past it).
    std::optional<LinkFailure> firstFailure;
    int failureLine = 0;
    std::optional<LinkFailure> lastFailure;
    // What the run did: the lines it took (a line that stopped it counts), and each write it
    // made, as addressed and given, whatever the link said; how many of them the link failed.
    int linesRun = 0;
    std::vector<std::pair<std::uint32_t, std::int32_t>> writes;
    int failures = 0;
};

// How to run a script.
struct ScriptRun {
    // The script progress window, as runs from the menu show it.
    bool showProgress = false;
    // The window's runs show every message box (a bad line, a link failure once per the error
    // latch); a run for the command line or Python only gives its outcome.
    bool showMessages = true;
    // Stop at the first line whose write the link failed. The window's runs go on, as a link
    // failure never stops the panel.
    bool stopOnLinkFailure = false;
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

    // A script file, or a script's text (standard input, for example), run as `how` says; the
    // end steps (refresh, progress hidden, history flag set) close every run that found its
    // text.
    ScriptOutcome runFile(const std::string& fileName, const ScriptRun& how);
    ScriptOutcome runText(const std::string& bytes, const ScriptRun& how);

    // Asks the user for a script, then runs it with the progress window (File > Open script).
    void chooseAndRunScript();

    // The start-up script: "startup.csv" in the current directory, without the progress window,
    // skipped without a word when there is none. For the device connection's start-up sequence.
    void runStartupScript();

    // The settings the script's open dialog (OpenDialog1) is shown with.
    static UserDialogs::FileDialog scriptDialog();

private:
    // Runs `body` with the history flag clear, and the end steps after it whatever happens.
    ScriptOutcome run(const std::function<ScriptOutcome()>& body);
    ScriptOutcome runLines(const std::string& bytes, const ScriptRun& how);
    // Shows `text` under the script caption when the run shows its messages.
    void shown(const ScriptRun& how, const std::string& text);
    // The refresh and the progress window's hiding.
    void endRun();

    RegisterAccess& m_access;
    UserDialogs& m_dialogs;
    Sleeper& m_sleeper;
    ScriptView& m_view;
};

} // namespace larkspur
