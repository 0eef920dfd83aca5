#include "portrelease.h"

#include "sundialports.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspur {

namespace {

volatile std::sig_atomic_t g_portFd = -1;

extern "C" void releaseAndStop(int signalNumber) {
    // Only async-signal-safe calls here.
    if (g_portFd >= 0) {
        ::ioctl(g_portFd, TIOCNXCL);
    }
    std::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

} // namespace

void releasePortOnStop() {
    struct sigaction action {};
    action.sa_handler = releaseAndStop;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}

void watchLinkPort(std::int32_t port) {
    g_portFd = -1;
    if (port <= 0) {
        return;
    }
    const std::string path = sundial::portDevicePath(port, std::getenv("SUNDIAL_PORTS"));
    struct stat device {};
    if (path.empty() || ::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return;
    }
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const int fd = std::atoi(entry->d_name);
        struct stat open {};
        if (fd != ::dirfd(fds) && ::fstat(fd, &open) == 0 && S_ISCHR(open.st_mode) &&
            open.st_rdev == device.st_rdev) {
            g_portFd = fd;
        }
    }
    ::closedir(fds);
}

} // namespace larkspur
