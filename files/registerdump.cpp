#include "registerdump.h"

#include "device/devicetexts.h"
#include "filetexts.h"
#include "notation/hextext.h"

#include "filebytes.h"

#include <cstdint>

namespace larkspur {

namespace {

constexpr const char* kLineEnd = "\r\n";

} // namespace

RegisterDump::RegisterDump(RegisterAccess& access, UserDialogs& dialogs)
    : m_access(access), m_dialogs(dialogs) {}

std::string RegisterDump::chooseTarget() {
    const std::string fileName = m_dialogs.saveFileName(m_saveDialog1);
    if (fileName.empty()) {
        return {};
    }
    m_saveDialog1.fileName = fileName;
    // Asked before anything is read from the board: No must cost nothing.
    if (pathExists(fileName) &&
        !m_dialogs.question(text::kOverwriteCaption, text::kOverwriteQuestion)) {
        return {};
    }
    return fileName;
}

void RegisterDump::save(const std::string& fileName, const std::string& text) {
    if (const auto reason = replaceFile(fileName, text)) {
        m_dialogs.error(text::kApplicationTitle, std::string(text::kCannotCreateFile) + " \"" +
                                                     fileName + "\". " + *reason + ".");
    }
}

std::vector<std::pair<std::uint32_t, std::uint8_t>> RegisterDump::snapshot() {
    std::vector<std::pair<std::uint32_t, std::uint8_t>> registers;
    for (int row = 0; row < kRegisterCount; ++row) {
        const int reg = kFirstRegister + row;
        // The board's value, not the shadow's: the snapshot is what the chip holds now.
        const auto value = m_access.readCodecRegister(m_access.codecAddress(reg));
        if (!value) {
            break;
        }
        registers.emplace_back(static_cast<std::uint32_t>(reg), *value);
    }
    return registers;
}

void RegisterDump::saveSnapshot() {
    const std::string fileName = chooseTarget();
    if (fileName.empty()) {
        return;
    }
    const auto registers = snapshot();
    if (registers.size() != static_cast<std::size_t>(kRegisterCount)) {
        const int failed = kFirstRegister + static_cast<int>(registers.size());
        m_dialogs.error(text::kApplicationTitle, std::string(text::kSnapshotNotSaved) + " 0x" +
                                                     hexText(failed, 2) + " " +
                                                     text::kSnapshotNotSavedReason);
        return;
    }
    std::string text;
    for (const auto& [reg, value] : registers) {
        text += historyLine(reg, value) + kLineEnd;
    }
    save(fileName, text);
}

void RegisterDump::saveHistory(const std::vector<std::string>& historyLines) {
    const std::string fileName = chooseTarget();
    if (fileName.empty()) {
        return;
    }
    std::string text;
    for (const std::string& line : historyLines) {
        text += line + kLineEnd;
    }
    save(fileName, text);
}

} // namespace larkspur
