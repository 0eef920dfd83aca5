#include "settingsfile.h"

#include "devicetexts.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
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
};

Lines splitLines(std::string_view text) {
    Lines result;
    if (text.find("\r\n") != std::string_view::npos) {
        result.lineEnd = "\r\n";
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // A last line without its LF: the carriage returns it ends with are its line end too.
        // Kept, the one before the LF the write adds would read as part of a CR LF next time.
        while (end == text.size() && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        result.lines.push_back(std::move(line));
        start = end + 1;
    }
    return result;
}

// What a read of the file found: nothing there, its text, or why it cannot be taken.
struct FileText {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string text;
    std::string problem;
};

FileText unreadable(std::string problem) {
    return {FileText::State::Unreadable, {}, std::move(problem)};
}

std::string typeProblem(mode_t mode) {
    return S_ISDIR(mode) ? "it is a folder" : "it is not a regular file";
}

std::string sizeProblem() {
    return "it is larger than " + std::to_string(kSettingsFileLimit / 1024) + " KiB";
}

// Reads a regular file of at most kSettingsFileLimit bytes. The type is looked at before the
// file is opened, since opening a device may act on it (a serial port's DTR, a tape's rewind)
// or wait (a fifo), and again on the open file, which may have been put there meanwhile.
FileText readFileText(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        return unreadable(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return unreadable(typeProblem(info.st_mode));
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kSettingsFileLimit) {
        return unreadable(sizeProblem());
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return unreadable(std::strerror(errno));
    }
    FileText result{FileText::State::Read, {}, {}};
    if (::fstat(fd, &info) != 0) {
        result = unreadable(std::strerror(errno));
    } else if (!S_ISREG(info.st_mode)) {
        result = unreadable(typeProblem(info.st_mode));
    } else {
        // One byte past the limit tells a file that grew past it from one that fills it.
        result.text.resize(kSettingsFileLimit + 1);
        std::size_t done = 0;
        while (done < result.text.size()) {
            const ssize_t n = ::read(fd, result.text.data() + done, result.text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                result = unreadable(std::strerror(errno));
                break;
            }
            if (n == 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (result.state == FileText::State::Read) {
            result.text.resize(done);
            if (done > kSettingsFileLimit) {
                result = unreadable(sizeProblem());
            } else if (result.text.find('\0') != std::string::npos) {
                // No text file holds one: a binary file is not the settings.
                result = unreadable("it holds NUL bytes");
            }
        }
    }
    ::close(fd);
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
        // Only a file is replaced: renamed over a device behind a link, the file would take the
        // system's device away (/dev/null, for root).
        if (!S_ISREG(existing.st_mode)) {
            return typeProblem(existing.st_mode);
        }
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

std::optional<std::string> settingsValue(std::string_view text, std::string_view section,
                                         std::string_view key) {
    const Lines file = splitLines(text);
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
    return std::nullopt;
}

std::string withSetting(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    Lines file = splitLines(text);
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
    return contents;
}

std::string SettingsFile::readString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    const FileText file = readFileText(m_path);
    if (file.state != FileText::State::Read) {
        return std::string(fallback);
    }
    return settingsValue(file.text, section, key).value_or(std::string(fallback));
}

std::optional<std::string> SettingsFile::readProblem() const {
    FileText file = readFileText(m_path);
    if (file.state != FileText::State::Unreadable) {
        return std::nullopt;
    }
    return std::move(file.problem);
}

bool SettingsFile::writeString(std::string_view section, std::string_view key,
                               std::string_view value) {
    const FileText file = readFileText(m_path);
    if (file.state == FileText::State::Unreadable) {
        m_lastError = file.problem;
        return false;
    }
    const auto failure = replaceFile(m_path, withSetting(file.text, section, key, value));
    m_lastError = failure.value_or(std::string());
    return !failure;
}

} // namespace larkspur
