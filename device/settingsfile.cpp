#include "settingsfile.h"

#include "coretexts.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace larkspur {

namespace {

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The section a line opens, if it is a header.
bool sectionHeader(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') {
        return false;
    }
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    name = trim(line.substr(1, close - 1));
    return true;
}

// The key and value of a line, if it is an entry (comments start with ';').
bool entry(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';') {
        return false;
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    key = trim(trimmed.substr(0, equals));
    value = trim(trimmed.substr(equals + 1));
    return true;
}

struct Lines {
    std::vector<std::string> lines; // without their line ends
    std::string lineEnd = "\n";
    bool exists = false;
};

Lines readLines(const std::filesystem::path& path) {
    Lines result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return result;
    }
    result.exists = true;
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    if (text.find("\r\n") != std::string::npos) {
        result.lineEnd = "\r\n";
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        result.lines.push_back(std::move(line));
        start = end + 1;
    }
    return result;
}

// Replaces the file whole; on failure returns why.
std::optional<std::string> replaceFile(std::filesystem::path path, const std::string& contents) {
    std::error_code error;
    // A settings file kept elsewhere behind a link stays there.
    if (std::filesystem::is_symlink(path, error)) {
        path = std::filesystem::weakly_canonical(path, error);
        if (error) {
            return error.message();
        }
    }
    // A file its owner made read-only is kept as it is, by root as well: replacing it would
    // undo the owner's choice.
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if ((existing.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0) {
            return std::string("the file is read-only");
        }
        mode = existing.st_mode & 07777;
    }
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return std::string(std::strerror(errno));
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return reason;
    }
    return std::nullopt;
}

} // namespace

SettingsFile::SettingsFile(std::filesystem::path path) : m_path(std::move(path)) {}

std::filesystem::path SettingsFile::defaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path folder;
    if (config != nullptr && *config != '\0') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::filesystem::path(home != nullptr ? home : ".") / ".config";
    }
    return folder / text::kSettingsFileName;
}

std::string SettingsFile::readString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    const Lines file = readLines(m_path);
    bool inSection = false;
    for (const std::string& line : file.lines) {
        std::string_view name;
        std::string_view lineKey;
        std::string_view value;
        if (sectionHeader(line, name)) {
            inSection = sameName(name, section);
        } else if (inSection && entry(line, lineKey, value) && sameName(lineKey, key)) {
            return std::string(value);
        }
    }
    return std::string(fallback);
}

bool SettingsFile::writeString(std::string_view section, std::string_view key,
                               std::string_view value) {
    Lines file = readLines(m_path);
    const std::string newLine = std::string(key) + "=" + std::string(value);

    bool inSection = false;
    std::optional<std::size_t> insertAt; // after the last entry of the section
    bool written = false;
    for (std::size_t i = 0; i < file.lines.size() && !written; ++i) {
        std::string_view name;
        std::string_view lineKey;
        std::string_view lineValue;
        if (sectionHeader(file.lines[i], name)) {
            if (inSection) {
                break; // the section ended without the key
            }
            inSection = sameName(name, section);
            if (inSection) {
                insertAt = i + 1;
            }
        } else if (inSection && entry(file.lines[i], lineKey, lineValue)) {
            if (sameName(lineKey, key)) {
                file.lines[i] = newLine;
                written = true;
            } else {
                insertAt = i + 1;
            }
        }
    }
    if (!written) {
        if (insertAt) {
            file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(*insertAt), newLine);
        } else {
            if (!file.lines.empty() && !trim(file.lines.back()).empty()) {
                file.lines.emplace_back();
            }
            file.lines.push_back("[" + std::string(section) + "]");
            file.lines.push_back(newLine);
        }
    }
    std::string contents;
    for (const std::string& line : file.lines) {
        contents += line + file.lineEnd;
    }
    const auto failure = replaceFile(m_path, contents);
    m_lastError = failure.value_or(std::string());
    return !failure;
}

} // namespace larkspur
