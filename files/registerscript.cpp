#include "registerscript.h"

#include "device/accessflags.h"
#include "filebytes.h"
#include "filetexts.h"
#include "scriptparser.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace larkspur {

RegisterScript::RegisterScript(RegisterAccess& access, UserDialogs& dialogs, Sleeper& sleeper,
                               ScriptView& view)
    : m_access(access), m_dialogs(dialogs), m_sleeper(sleeper), m_view(view) {}

UserDialogs::FileDialog RegisterScript::scriptDialog() {
    // No remembered name: the dialog starts where the platform starts it.
    return {text::kScriptFilter, "csv", ""};
}

void RegisterScript::chooseAndRunScript() {
    const std::string fileName = m_dialogs.openFileName(scriptDialog());
    if (!fileName.empty()) {
        RunRegisterScript(fileName, true);
    }
}

void RegisterScript::runStartupScript() {
    // Checked here so that a missing start-up script says nothing.
    if (pathExists(text::kStartupScript)) {
        RunRegisterScript(text::kStartupScript, false);
    }
}

bool RegisterScript::RunRegisterScript(const std::string& fileName, bool showProgress) {
    if (!pathExists(fileName)) {
        m_dialogs.error(text::kScriptErrorCaption, text::kScriptNotFound);
        return false;
    }
    run([&] {
        std::string bytes;
        if (const auto reason = readFileBytes(fileName, bytes)) {
            m_dialogs.error(text::kScriptErrorCaption, std::string(text::kCannotReadFile) + " \"" +
                                                           fileName + "\". " + *reason + ".");
        } else {
            runLines(bytes, showProgress);
        }
    });
    return true;
}

void RegisterScript::runScriptText(const std::string& bytes, bool showProgress) {
    run([&] { runLines(bytes, showProgress); });
}

void RegisterScript::run(const std::function<void()>& body) {
    m_badLine = 0;
    m_stoppedOnLinkFailure = false;
    {
        // Neither the script's writes nor those the refresh after them raises are logged.
        const HistoryOff unlogged(m_access);
        try {
            body();
        } catch (...) {
            // Whatever escapes (memory for a huge file), the run ends as any other, and the
            // history is back as it was.
            endRun();
            throw;
        }
        endRun();
    }
    // Logged after every run, also one that began unlogged: start-up's refresh after its script
    // is.
    m_access.setHistoryEnabled(true);
}

void RegisterScript::runLines(const std::string& bytes, bool showProgress) {
    // A spreadsheet's "CSV UTF-8" starts with a byte-order mark, which is no part of line 1.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const std::vector<std::string> lines = splitScriptLines(
        bytes.starts_with(kByteOrderMark) ? bytes.substr(kByteOrderMark.size()) : bytes);
    struct LineMark {
        int& line;
        ~LineMark() { line = 0; }
    } mark{m_currentLine};
    const auto count = static_cast<std::int64_t>(lines.size());
    // Otherwise the window would show the last run's position until the first line.
    m_view.setProgress(0);
    if (showProgress) {
        m_view.showProgress();
    }
    for (std::int64_t i = 0; i < count; ++i) {
        m_view.setProgress(static_cast<int>(i * 100 / count));
        m_currentLine = static_cast<int>(i) + 1;
        const ScriptRecord record = parseRecord(lines[static_cast<std::size_t>(i)]);
        switch (record.kind) {
        case ScriptRecord::Kind::Empty:
            // A blank line asks for nothing; refusing it would stop a script for a stray break.
            break;
        case ScriptRecord::Kind::Pause:
            m_sleeper.sleepMs(record.value);
            break;
        case ScriptRecord::Kind::Write: {
            const int failures = m_access.linkFailures();
            m_access.WriteRegister(static_cast<std::uint32_t>(record.address), record.value);
            if (m_stopOnLinkFailure && m_access.linkFailures() != failures) {
                m_badLine = m_currentLine;
                m_stoppedOnLinkFailure = true;
                return;
            }
            break;
        }
        case ScriptRecord::Kind::BadPause:
        case ScriptRecord::Kind::BadRecord:
        case ScriptRecord::Kind::BadValue:
            // The lines before stay in effect; none after this one runs.
            m_badLine = static_cast<int>(i) + 1;
            m_dialogs.error(text::kScriptErrorCaption, recordError(record.kind));
            return;
        }
    }
}

void RegisterScript::endRun() {
    m_view.refreshControls();
    m_view.hideProgress();
}

} // namespace larkspur
