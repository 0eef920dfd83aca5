#include "ports.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <string>
#include <unistd.h>

namespace sundial {

long uucpLockHolder(const std::string& devicePath) {
    char resolved[PATH_MAX];
    if (::realpath(devicePath.c_str(), resolved) == nullptr) {
        return 0;
    }
    const std::string device = resolved;
    const std::string name = device.substr(device.rfind('/') + 1);
    for (const char* folder : {"/run/lock/", "/var/lock/"}) {
        // The holder's PID in ASCII (HDB style); minicom, picocom and the like write it so.
        std::ifstream lock(std::string(folder) + "LCK.." + name);
        long pid = 0;
        if (!(lock >> pid) || pid <= 0 || pid == static_cast<long>(::getpid())) {
            continue;
        }
        // Alive, whoever's it is; a lock left by a process that is gone is stale.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) {
            return pid;
        }
    }
    return 0;
}

} // namespace sundial
