// The settings file: INI text, read and written one key at a time the way the Windows profile
// functions do it, so that a file edited by hand or by another version keeps its other lines.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace larkspur {

// The most of a settings file that is read. The file holds a section and two keys, some
// forty bytes; a file past this bound is something else put in its place (a log, a device
// behind a link), and stopping here bounds the memory and time it can cost.
inline constexpr std::size_t kSettingsFileLimit = 64 * 1024;

// The value of `key` in `section` of INI text (names match without regard to case; the value is
// the text after '=' without surrounding blanks); none when the section or the key is missing.
std::optional<std::string> settingsValue(std::string_view text, std::string_view section,
                                         std::string_view key);
// The INI text with `key` set to `value` in `section`, every other line kept: the key's first
// line in the section's first appearance is replaced, or the key is added after the section's
// last entry, or the section is added at the end. Lines end in CR LF when the text has one,
// in LF otherwise.
std::string withSetting(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path);

    // "Larkspur.ini" in $XDG_CONFIG_HOME, or in ~/.config when that is unset or empty.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return m_path; }

    // The value of `key` in `section` (names match without regard to case; the value is the
    // text after '=' without surrounding blanks), or `fallback` when the file, the section or
    // the key is missing, or when the file cannot be read (readProblem()). Reads the file anew
    // each time; never creates it.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;

    // Why a file that is there cannot be taken for the settings: "it is a folder", "it is not a
    // regular file", "it is larger than 64 KiB", "it holds NUL bytes" or the system's reason
    // ("Permission denied"). None when it can be read or is not there. Only a regular file is
    // opened, and without waiting (a fifo put in its place does not block); no more than
    // kSettingsFileLimit bytes and one more are read.
    std::optional<std::string> readProblem() const;

    // Sets `key` in `section`, keeping every other line, creating the section, the file and its
    // folder when missing. The file is replaced whole through a temporary beside it and synced,
    // so an interrupted write leaves the old contents; the file keeps its permissions. A file
    // whose owner has no write permission is read-only and left alone, and so is one that
    // cannot be read (its lines would be lost). False when it could not be written; lastError()
    // then says why.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    const std::string& lastError() const { return m_lastError; }

private:
    std::filesystem::path m_path;
    std::string m_lastError;
};

} // namespace larkspur
