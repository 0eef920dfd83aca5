// The two saves of the main window: the register snapshot (File > Save register snapshot) and
// the history (the save button of "Register setting history"). Both write script lines, so either
// file plays back as a register script; both share SaveDialog1 and its remembered name.
#pragma once

#include "device/registeraccess.h"
#include "device/userdialogs.h"
#include "filetexts.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace larkspur {

class RegisterDump {
public:
    RegisterDump(RegisterAccess& access, UserDialogs& dialogs);

    // The snapshot: the ten registers read from the board (at register + DeviceBits), each named
    // without DeviceBits. Saved one line per register: "0x10, 0xC0" CR LF ... "0x19, 0xFF" CR LF.
    // Stops at the first register that cannot be read: a snapshot replays as a script, so a
    // made-up value in it would one day reach the codec.
    std::vector<std::pair<std::uint32_t, std::uint8_t>> snapshot();

    // Asks for a file, then saves the snapshot read after the choice (File > Save register
    // snapshot).
    void saveSnapshot();

    // Asks for a file, then saves the history area's lines as they stand, each followed by
    // CR LF. The caller passes the lines in the file's 8-bit form.
    void saveHistory(const std::vector<std::string>& historyLines);

    // The save dialog (SaveDialog1) as it will open next: its file name is the one chosen last,
    // by either command.
    const UserDialogs::FileDialog& SaveDialog1() const { return m_saveDialog1; }

private:
    // The chosen file, once the user has confirmed it and agreed to replace an existing one;
    // empty when the save is off.
    std::string chooseTarget();
    void save(const std::string& fileName, const std::string& text);

    RegisterAccess& m_access;
    UserDialogs& m_dialogs;
    UserDialogs::FileDialog m_saveDialog1{text::kSaveFilter, "csv", ""};
};

} // namespace larkspur
