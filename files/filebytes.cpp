#include "filebytes.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <istream>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace larkspur {

namespace {

std::string reasonOf(int error) {
    return std::error_code(error, std::generic_category()).message();
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Close errors count: some file systems report a failed write only here.
    int close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

// The folder a path lies in, as a path that can be joined with "/name".
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string() : path.substr(0, slash);
}

// The file the save really replaces: a link is followed, so the link itself stays.
std::string resolvedTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// One chunk of a file read: taken up to and including a NUL, after which nothing counts.
enum class Chunk { More, Ended, TooLong };
Chunk takeChunk(std::string& bytes, const char* chunk, std::size_t size) {
    const void* nul = std::memchr(chunk, '\0', size);
    const std::size_t keep =
        nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - chunk) + 1;
    if (bytes.size() + keep > kMaxFileBytes) {
        bytes.clear();
        return Chunk::TooLong;
    }
    bytes.append(chunk, keep);
    return nul == nullptr ? Chunk::More : Chunk::Ended;
}

} // namespace

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<std::string> readFileBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Non-blocking open: a pipe without a writer must not hang the GUI thread. Reads block again.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        return reasonOf(errno);
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return reasonOf(errno);
        }
        if (got == 0) {
            return std::nullopt;
        }
        const auto size = static_cast<std::size_t>(got);
        if (const Chunk taken = takeChunk(bytes, buffer, size); taken != Chunk::More) {
            return taken == Chunk::TooLong ? std::optional(reasonOf(EFBIG)) : std::nullopt;
        }
    }
}

std::optional<std::string> readStreamBytes(std::istream& in, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto size = static_cast<std::size_t>(in.gcount());
        if (const Chunk taken = takeChunk(bytes, buffer, size); taken != Chunk::More) {
            return taken == Chunk::TooLong ? std::optional(reasonOf(EFBIG)) : std::nullopt;
        }
    }
    if (in.bad()) {
        bytes.clear();
        return reasonOf(EIO);
    }
    return std::nullopt;
}

std::optional<std::string> replaceFile(const std::string& path, std::string_view bytes) {
    const std::string target = resolvedTarget(path);
    const std::string folder = folderOf(target);

    // An existing file keeps its permissions; a new one gets the umask's, as any created file.
    struct stat existing {};
    const bool keepMode = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    // A fresh name each time (O_EXCL): a left-over temporary or another program's file of that
    // name is never reused or overwritten.
    std::random_device entropy;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string suffix;
        for (unsigned bits = entropy(), i = 0; i < 8; ++i, bits >>= 4) {
            suffix += kDigits[bits & 0x0F];
        }
        temporary = folder + "/.larkspur-save-" + suffix + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return reasonOf(errno);
        }
    }
    if (fd < 0) {
        return reasonOf(EEXIST);
    }
    Descriptor file(fd);
    const auto fail = [&](int error) {
        if (file.get() >= 0) {
            file.close();
        }
        ::unlink(temporary.c_str());
        return std::optional<std::string>(reasonOf(error));
    };
    if (keepMode) {
        ::fchmod(file.get(), existing.st_mode & 07777);
    }
    if (!writeAll(file.get(), bytes)) {
        return fail(errno);
    }
    // On the disk before the rename: otherwise a crash could leave the new name on empty data.
    if (::fsync(file.get()) != 0) {
        return fail(errno);
    }
    if (file.close() != 0) {
        return fail(errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    return std::nullopt;
}

} // namespace larkspur
