// The settings file: INI text, read and written one key at a time the way the Windows profile
// functions do it, so that a file edited by hand or by another version keeps its other lines.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace larkspur {

class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path);

    // "Larkspur.ini" in $XDG_CONFIG_HOME, or in ~/.config when that is unset or empty.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return m_path; }

    // The value of `key` in `section` (names match without regard to case; the value is the
    // text after '=' without surrounding blanks), or `fallback` when the file, the section or
    // the key is missing. Reads the file anew each time; never creates it.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;

    // Sets `key` in `section`, keeping every other line, creating the section, the file and its
    // folder when missing. The file is replaced whole through a temporary beside it and synced,
    // so an interrupted write leaves the old contents; the file keeps its permissions. A file
    // whose owner has no write permission is read-only and left alone. False when it could not
    // be written; lastError() then says why.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    const std::string& lastError() const { return m_lastError; }

private:
    std::filesystem::path m_path;
    std::string m_lastError;
};

} // namespace larkspur
