#include "portdiagnostics.h"

#include "devicetexts.h"
#include "link/ports.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace larkspur {

namespace {

// Pseudo-terminal slaves (Unix 98): what the virtual board and terminal programs serve.
constexpr unsigned kFirstPtyMajor = 136;
constexpr unsigned kLastPtyMajor = 143;

// A network port is given as long to connect as the library gives it; a server that turns a
// client away says so at once, so a short wait after connecting tells.
constexpr int kNetworkConnectMs = 1800;
constexpr int kNetworkSettleMs = 200;

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string linkTarget(const std::string& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool realIsSerial(const PortSystem::Node& node) {
    const unsigned majorNumber = major(node.device);
    if (majorNumber >= kFirstPtyMajor && majorNumber <= kLastPtyMajor) {
        return true;
    }
    const std::string sysfs =
        "/sys/dev/char/" + std::to_string(majorNumber) + ":" + std::to_string(minor(node.device));
    const std::string subsystem = linkTarget(sysfs + "/subsystem");
    if (subsystem.size() < 4 || subsystem.compare(subsystem.size() - 4, 4, "/tty") != 0) {
        return false;
    }
    // A UART slot without a chip (most ttyS nodes) says type 0.
    const std::string type = readFirstLine(sysfs + "/type");
    return type != "0";
}

std::string processName(pid_t pid) {
    return readFirstLine("/proc/" + std::to_string(pid) + "/comm");
}

std::vector<PortSystem::Holder> realHolders(const std::string& path, const PortSystem::Node& node) {
    std::vector<PortSystem::Holder> found;
    const pid_t self = ::getpid();
    const auto add = [&found, self](pid_t pid, bool locks) {
        if (pid <= 0 || pid == self) {
            return;
        }
        const auto known = std::find_if(found.begin(), found.end(),
                                        [pid](const auto& holder) { return holder.pid == pid; });
        if (known != found.end()) {
            known->locks = known->locks || locks;
        } else {
            found.push_back({pid, processName(pid), locks});
        }
    };
    // Locks are listed for every user: "1: FLOCK  ADVISORY  WRITE 4242 00:05:1234 0 EOF".
    std::ifstream locks("/proc/locks");
    const std::string inodeKey = [&node] {
        char key[64];
        std::snprintf(key, sizeof key, "%02x:%02x:%lu", major(node.fileSystem),
                      minor(node.fileSystem), static_cast<unsigned long>(node.inode));
        return std::string(key);
    }();
    for (std::string line; std::getline(locks, line);) {
        if (line.find("->") != std::string::npos) {
            continue; // waiting for the lock, not holding it
        }
        std::istringstream words(line);
        std::string number, kind, mode, access, key;
        long pid = 0;
        if (words >> number >> kind >> mode >> access >> pid >> key && key == inodeKey) {
            add(static_cast<pid_t>(pid), true);
        }
    }
    // UUCP lock files, as minicom and its kind leave them: "LCK..ttyUSB0" holding a PID.
    add(static_cast<pid_t>(sundial::uucpLockHolder(path)), true);
    // Open descriptors, as far as this user may look into other processes.
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            const std::string name = entry->d_name;
            if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) {
                continue;
            }
            const std::string fdFolder = "/proc/" + name + "/fd";
            DIR* fds = ::opendir(fdFolder.c_str());
            if (fds == nullptr) {
                continue;
            }
            while (const dirent* fd = ::readdir(fds)) {
                struct stat info {};
                const std::string fdPath = fdFolder + "/" + fd->d_name;
                if (fd->d_name[0] != '.' && ::stat(fdPath.c_str(), &info) == 0 &&
                    S_ISCHR(info.st_mode) && info.st_rdev == node.device) {
                    add(static_cast<pid_t>(std::stol(name)), false);
                    break;
                }
            }
            ::closedir(fds);
        }
        ::closedir(proc);
    }
    return found;
}

std::string realGroupName(gid_t group) {
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* result = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr) {
        return result->gr_name;
    }
    return std::to_string(group);
}

PortReport inspectNetworkPort(int number, const std::string& url, const PortSystem& system) {
    PortReport report{number, url, PortState::Free, {}};
    // A name the library cannot connect to is not worth a look-up.
    if (!sundial::parsePortUrl(url)) {
        report.state = PortState::BadUrl;
        report.reason = text::kPortBadUrl;
        return report;
    }
    if (!system.network) {
        return report;
    }
    const sundial::NetworkCheck check = system.network(url);
    switch (check.reach) {
    case sundial::NetworkReach::Connected:
        break;
    case sundial::NetworkReach::Busy:
        report.state = PortState::Busy;
        report.reason = text::kPortServerBusy;
        break;
    case sundial::NetworkReach::Closed:
        report.state = PortState::Closed;
        report.reason = text::kPortServerClosed;
        if (!check.message.empty()) {
            report.reason += ": " + check.message;
        }
        break;
    case sundial::NetworkReach::Refused:
        report.state = PortState::Refused;
        report.reason = text::kPortRefused;
        break;
    case sundial::NetworkReach::Unreachable:
    case sundial::NetworkReach::TimedOut:
        report.state = PortState::Unreachable;
        report.reason = text::kPortUnreachable;
        break;
    case sundial::NetworkReach::UnknownHost:
        report.state = PortState::UnknownHost;
        report.reason = text::kPortUnknownHost;
        break;
    case sundial::NetworkReach::BadUrl:
        report.state = PortState::BadUrl;
        report.reason = text::kPortBadUrl;
        break;
    }
    return report;
}

} // namespace

const char* portStateName(PortState state) {
    switch (state) {
    case PortState::Absent:
        return "absent";
    case PortState::NotSerial:
        return "not-serial";
    case PortState::NoPermission:
        return "no-permission";
    case PortState::Busy:
        return "busy";
    case PortState::Free:
        return "free";
    case PortState::Silent:
        return "silent";
    case PortState::Evm:
        return "evm";
    case PortState::Closed:
        return "closed";
    case PortState::Refused:
        return "refused";
    case PortState::Unreachable:
        return "unreachable";
    case PortState::UnknownHost:
        return "unknown-host";
    case PortState::BadUrl:
        return "bad-url";
    }
    return "";
}

std::string reportLine(const PortReport& report) {
    std::string line =
        std::to_string(report.number) + " " + report.path + " " + portStateName(report.state);
    if (!report.reason.empty()) {
        line += ": " + report.reason;
    }
    return line;
}

PortSystem PortSystem::real() {
    PortSystem system;
    system.node = [](const std::string& path) -> std::optional<Node> {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            return std::nullopt;
        }
        return Node{S_ISCHR(info.st_mode), info.st_rdev, info.st_dev,
                    info.st_ino,           info.st_gid,  info.st_mode};
    };
    system.mayOpen = [](const std::string& path) {
        return ::access(path.c_str(), R_OK | W_OK) == 0;
    };
    system.isSerial = realIsSerial;
    system.holders = realHolders;
    system.groupName = realGroupName;
    system.exclusive = [](const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return false;
        }
        return errno == EBUSY;
    };
    system.network = [](const std::string& url) {
        return sundial::checkNetworkPort(url, kNetworkConnectMs, kNetworkSettleMs);
    };
    return system;
}

const char* configuredPortList() {
    return std::getenv("SUNDIAL_PORTS");
}

PortReport inspectPort(int number, const std::string& path, const PortSystem& system) {
    if (sundial::isPortUrl(path)) {
        return inspectNetworkPort(number, path, system);
    }
    PortReport report{number, path, PortState::Absent, text::kPortAbsent};
    const std::optional<PortSystem::Node> node = system.node(path);
    if (!node) {
        return report;
    }
    if (!node->characterDevice) {
        report.state = PortState::NotSerial;
        report.reason = text::kPortNotADevice;
        return report;
    }
    if (!system.isSerial(*node)) {
        report.state = PortState::NotSerial;
        report.reason = text::kPortNoSerialPort;
        return report;
    }
    if (!system.mayOpen(path)) {
        report.state = PortState::NoPermission;
        // Joining the device's group helps only when the group may read and write it.
        if ((node->mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
            const std::string group = system.groupName(node->group);
            report.reason = std::string(text::kPortJoinGroup) + group + ": sudo usermod -aG " +
                            group + " $USER" + text::kPortLogInAgain;
        } else {
            report.reason = text::kPortNoGroupAccess;
        }
        return report;
    }
    const std::vector<PortSystem::Holder> holders = system.holders(path, *node);
    const auto names = [&holders](bool locking) {
        std::string list;
        for (const PortSystem::Holder& holder : holders) {
            if (holder.locks == locking) {
                // A holder whose name cannot be read (another user's, gone meanwhile) is
                // named by its PID alone.
                const std::string pid = "PID " + std::to_string(holder.pid);
                list += (list.empty() ? "" : ", ") +
                        (holder.name.empty() ? pid : holder.name + " (" + pid + ")");
            }
        }
        return list;
    };
    if (const std::string lockers = names(true); !lockers.empty()) {
        report.state = PortState::Busy;
        report.reason = text::kPortHeldBy + lockers;
        return report;
    }
    if (system.exclusive && system.exclusive(path)) {
        report.state = PortState::Busy;
        const std::string openers = names(false);
        report.reason =
            std::string(text::kPortExclusive) +
            (openers.empty() ? std::string() : std::string("; ") + text::kPortOpenIn + openers);
        return report;
    }
    report.state = PortState::Free;
    const std::string openers = names(false);
    report.reason = openers.empty() ? std::string() : text::kPortOpenIn + openers;
    return report;
}

std::vector<PortReport> inspectPorts(const char* portList, bool includeAbsent,
                                     const PortSystem& system) {
    // A network port may take the whole connect time-out: those are checked side by side, the
    // devices in turn as the results are collected.
    std::vector<std::future<PortReport>> pending;
    sundial::PortTable table(portList);
    for (int number = sundial::kFirstPort; number <= sundial::kLastPort; ++number) {
        const std::string path = table.name(number);
        if (path.empty()) {
            continue;
        }
        pending.push_back(
            std::async(sundial::isPortUrl(path) ? std::launch::async : std::launch::deferred,
                       [number, path, &system] { return inspectPort(number, path, system); }));
    }
    std::vector<PortReport> reports;
    for (std::future<PortReport>& report : pending) {
        PortReport done = report.get();
        if (done.state != PortState::Absent || includeAbsent) {
            reports.push_back(std::move(done));
        }
    }
    return reports;
}

void markSilent(PortReport& report) {
    report.state = PortState::Silent;
    // Behind a server that took the connection it is the board's line that stays quiet.
    const std::string silence =
        sundial::isPortUrl(report.path) ? text::kPortSilentServer : text::kPortDidNotAnswer;
    report.reason = report.reason.empty() ? silence : silence + "; " + report.reason;
}

std::string noBoardDetails(const char* portList, const PortSystem& system) {
    std::string details;
    for (PortReport& report : inspectPorts(portList, false, system)) {
        if (report.state == PortState::Free) {
            markSilent(report);
        }
        details += (details.empty() ? "" : "\n") + reportLine(report);
    }
    return details.empty() ? std::string(text::kNoPorts) : details;
}

} // namespace larkspur
