// What the virtual board's I/O parts do with a failed call and a descriptor they own.
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace virtualevm {

// The failed call `what`, with errno's text, as an exception.
[[noreturn]] inline void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Closes `fd` if open and marks it closed.
inline void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace virtualevm
