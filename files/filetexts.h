// Every text of scripts and saved files, and the captions they are shown under.
//
// Kept as shipped, typos included ("exits", "is already exists"): stored files, users' habits
// and checks made against the program rely on them. Do not correct one here without correcting
// every check made with it.
#pragma once

namespace larkspur::text {

// Register scripts.
inline constexpr const char* kScriptErrorCaption = "Script file error";
inline constexpr const char* kStartupScript = "startup.csv";
inline constexpr const char* kScriptNotFound = "File not exist.";
inline constexpr const char* kBadPause = "Invalid sleep time.";
inline constexpr const char* kBadRecord = "Invalid record was found on the Register setting file.";
inline constexpr const char* kBadValue = "Invalid register data!";
inline constexpr const char* kScriptFilter = "CSV|*.csv|All Files|*.*";

// The register snapshot and the history file.
inline constexpr const char* kSaveFilter = "CSV|*.csv|All files|*.*";
inline constexpr const char* kOverwriteCaption = "File exits";
inline constexpr const char* kOverwriteQuestion =
    "The file you specified is already exists.\nAre you sure you want to save?";

// Files that cannot be read or written: "<start> "<name>". <reason>."
inline constexpr const char* kCannotReadFile = "Cannot read file";
inline constexpr const char* kCannotCreateFile = "Cannot create file";
// A snapshot with a register that could not be read is not saved: "... register 0x18 could not
// be read from the board."
inline constexpr const char* kSnapshotNotSaved = "The register snapshot was not saved: register";
inline constexpr const char* kSnapshotNotSavedReason = "could not be read from the board.";

} // namespace larkspur::text
