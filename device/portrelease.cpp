#include "portrelease.h"

#include <algorithm>
#include <csignal>
#include <sys/ioctl.h>
#include <sys/resource.h>

namespace larkspur {

namespace {

// Descriptors below this are looked at; set once, before any handler can run.
volatile std::sig_atomic_t g_descriptorLimit = 1024;

extern "C" void releaseAndStop(int signalNumber) {
    // Only async-signal-safe calls here. On a descriptor that is no terminal the call fails
    // with ENOTTY and does nothing.
    for (int fd = 3; fd < g_descriptorLimit; ++fd) {
        ::ioctl(fd, TIOCNXCL);
    }
    std::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

} // namespace

void releasePortOnStop() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        g_descriptorLimit = static_cast<std::sig_atomic_t>(std::min<rlim_t>(files.rlim_cur, 65536));
    }
    struct sigaction action {};
    action.sa_handler = releaseAndStop;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}

} // namespace larkspur
