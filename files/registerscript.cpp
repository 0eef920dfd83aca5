#include "registerscript.h"

#include "device/accessflags.h"
#include "filebytes.h"
#include "filetexts.h"
#include "scriptparser.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace larkspur {

namespace {

// A run that ended on the file as a whole.
ScriptOutcome endedFor(ScriptOutcome::End end, std::string message) {
    ScriptOutcome outcome;
    outcome.end = end;
    outcome.message = std::move(message);
    return outcome;
}

} // namespace

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
    return runFile(fileName, {.showProgress = showProgress}).end != ScriptOutcome::End::NotFound;
}

void RegisterScript::shown(const ScriptRun& how, const std::string& text) {
    if (how.showMessages) {
        m_dialogs.error(text::kScriptErrorCaption, text);
    }
}

ScriptOutcome RegisterScript::runFile(const std::string& fileName, const ScriptRun& how) {
    if (!pathExists(fileName)) {
        shown(how, text::kScriptNotFound);
        return endedFor(ScriptOutcome::End::NotFound, text::kScriptNotFound);
    }
    return run([&] {
        std::string bytes;
        if (const auto reason = readFileBytes(fileName, bytes)) {
            const std::string message =
                std::string(text::kCannotReadFile) + " \"" + fileName + "\". " + *reason + ".";
            shown(how, message);
            return endedFor(ScriptOutcome::End::Unreadable, message);
        }
        return runLines(bytes, how);
    });
}

ScriptOutcome RegisterScript::runText(const std::string& bytes, const ScriptRun& how) {
    return run([&] { return runLines(bytes, how); });
}

ScriptOutcome RegisterScript::run(const std::function<ScriptOutcome()>& body) {
    ScriptOutcome outcome;
    {
        // Neither the script's writes nor those the refresh after them raises are logged.
        const HistoryOff unlogged(m_access);
        try {
            outcome = body();
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
    return outcome;
}

ScriptOutcome RegisterScript::runLines(const std::string& bytes, const ScriptRun& how) {
    // A spreadsheet's "CSV UTF-8" starts with a byte-order mark, which is no part of line 1.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const std::vector<std::string> lines = splitScriptLines(
        bytes.starts_with(kByteOrderMark) ? bytes.substr(kByteOrderMark.size()) : bytes);
    ScriptOutcome outcome;
    const auto count = static_cast<std::int64_t>(lines.size());
    // Otherwise the window would show the last run's position until the first line.
    m_view.setProgress(0);
    if (how.showProgress) {
        m_view.showProgress();
    }
    for (std::int64_t i = 0; i < count; ++i) {
        m_view.setProgress(static_cast<int>(i * 100 / count));
        const int line = static_cast<int>(i) + 1;
        outcome.linesRun = line;
        const ScriptRecord record = parseRecord(lines[static_cast<std::size_t>(i)]);
        switch (record.kind) {
        case ScriptRecord::Kind::Empty:
            // A blank line asks for nothing; refusing it would stop a script for a stray break.
            break;
        case ScriptRecord::Kind::Pause:
            m_sleeper.sleepMs(record.value);
            break;
        case ScriptRecord::Kind::Write: {
            const auto address = static_cast<std::uint32_t>(record.address);
            const WriteOutcome written = m_access.writeCodec(address, record.value);
            outcome.writes.emplace_back(address, record.value);
            const LinkFailure* failure = written.failure();
            if (failure == nullptr) {
                break;
            }
            ++outcome.failures;
            if (how.showMessages) {
                m_access.report(*failure);
            }
            if (!outcome.firstFailure) {
                outcome.firstFailure = *failure;
                outcome.failureLine = line;
            }
            outcome.lastFailure = *failure;
            if (how.stopOnLinkFailure) {
                outcome.end = ScriptOutcome::End::LinkFailure;
                outcome.line = line;
                return outcome;
            }
            break;
        }
        case ScriptRecord::Kind::BadPause:
        case ScriptRecord::Kind::BadRecord:
        case ScriptRecord::Kind::BadValue:
            // The lines before stay in effect; none after this one runs.
            outcome.end = ScriptOutcome::End::BadLine;
            outcome.line = line;
            outcome.message = recordError(record.kind);
            shown(how, outcome.message);
            return outcome;
        }
    }
    return outcome;
}

void RegisterScript::endRun() {
    m_view.refreshControls();
    m_view.hideProgress();
}

} // namespace larkspur
