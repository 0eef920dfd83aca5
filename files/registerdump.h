// The two saves of the main window: the register snapshot (File > Save register snapshot) and
// the history (the save button of "Register setting history"). Both write script lines, so either
// file plays back as a register script; both share SaveDialog1 and its remembered name.
#pragma once

#include "registeraccess.h"
#include "userdialogs.h"

#include <string>
#include <vector>

namespace larkspur {

inline constexpr const char* kOverwriteCaption = "File exits";
inline constexpr const char* kOverwriteQuestion =
    "The file you specified is already exists.\nAre you sure you want to save?";

class RegisterDump {
public:
    RegisterDump(RegisterAccess& access, UserDialogs& dialogs);

    // Reads the ten registers from the board (at register + DeviceBits) and saves one line per
    // register, named without DeviceBits: "0x10, 0xC0" CR LF ... "0x19, 0xFF" CR LF.
    void SaveRegisterDumpClick();

    // Saves the history area's lines as they stand, each followed by CR LF. The caller passes
    // the lines in the file's 8-bit form.
    void bSaveHistryClick(const std::vector<std::string>& historyLines);

    // SaveDialog1 as it will open next: its file name is the one chosen last, by either command.
    const UserDialogs::FileDialog& SaveDialog1() const { return m_saveDialog1; }

private:
    // The chosen file, once the user has confirmed it and agreed to replace an existing one;
    // empty when the save is off.
    std::string chooseTarget();
    void save(const std::string& fileName, const std::string& text);

    RegisterAccess& m_access;
    UserDialogs& m_dialogs;
    UserDialogs::FileDialog m_saveDialog1{"CSV|*.csv|All files|*.*", "csv", ""};
};

} // namespace larkspur
