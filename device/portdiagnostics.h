// What stands behind each port number of the link library, found without sending anything to
// any port and without opening one: whether the device exists, is a serial port, may be opened
// by this user, and who holds it. A port behind a network serial server (a URL) is connected to
// and left again, still without a byte sent: whether the server takes a client. The program
// shows these lines when its search finds no board; the command line prints them for "ports",
// after probing the free ones.
#pragma once

#include "link/ports.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace larkspur {

enum class PortState {
    Absent,       // no device node
    NotSerial,    // a node, but no serial port behind it
    NoPermission, // this user may not open it
    Busy,         // another program holds it
    Free,         // could be opened; whether a board answers is not known without a probe
    Silent,       // free, and no board answered
    Evm,          // a board answered
    // Ports behind a network serial server; Busy, Free, Silent and Evm serve them too.
    Closed,      // the server took the connection and closed it at once (it cannot open its line)
    Refused,     // nothing listens on that network port
    Unreachable, // no route to the host, or no answer in time
    UnknownHost, // the host name is not known
    BadUrl,      // a URL that names no port
};

// "evm", "silent", "busy", "no-permission", "not-serial", "absent"; "free" before a probe; for a
// network port also "closed", "refused", "unreachable", "unknown-host", "bad-url".
const char* portStateName(PortState state);

struct PortReport {
    int number = 0;
    std::string path;
    PortState state = PortState::Absent;
    std::string reason; // a short explanation, or the fix
};

// "33 /dev/ttyUSB0 busy: held by minicom (PID 4242)"
std::string reportLine(const PortReport& report);

// What the checks ask of the system; the real one reads /dev, /sys and /proc. Tests replace it.
struct PortSystem {
    struct Node {
        bool characterDevice = false;
        dev_t device = 0; // the device number of a character device
        dev_t fileSystem = 0;
        ino_t inode = 0;
        gid_t group = 0;
        mode_t mode = 0;
    };
    struct Holder {
        pid_t pid = 0;
        std::string name;
        // Holds the port's lock (as this program, picocom, minicom do), rather than merely
        // having it open (as the virtual board has its own terminal, or a getty its line).
        bool locks = false;
    };

    std::function<std::optional<Node>(const std::string& path)> node;
    std::function<bool(const std::string& path)> mayOpen;
    // Whether a character device is a serial port with something behind it.
    std::function<bool(const Node& node)> isSerial;
    // Other processes that hold the device locked or open, as far as they are visible.
    std::function<std::vector<Holder>(const std::string& path, const Node& node)> holders;
    std::function<std::string(gid_t group)> groupName;
    // Whether the device refuses to be opened because another program has it in exclusive use
    // (EBUSY: TIOCEXCL, which may outlive a program that was killed). Unset: never.
    std::function<bool(const std::string& path)> exclusive;
    // Connects to a port behind a network server, waits briefly for the server to turn the
    // client away, and leaves; sends nothing. Called for several ports at once, from several
    // threads. Unset: not checked, the port counts as free.
    std::function<sundial::NetworkCheck(const std::string& url)> network;

    static PortSystem real();
};

// The port list the user gave the link library (SUNDIAL_PORTS), or null when none was given and
// the library's own table stands.
const char* configuredPortList();

// One port: Absent, NotSerial, NoPermission, Busy (locked by another program) or Free (with the
// programs that have it open, if any, as the reason). A URL: Free, Busy (the server serves
// another client), Closed, Refused, Unreachable, UnknownHost or BadUrl.
PortReport inspectPort(int number, const std::string& path, const PortSystem& system);

// Every port number of the library's table (or of `portList`, the SUNDIAL_PORTS value, when not
// null) whose device exists; with `includeAbsent` the numbers without a device too (only those
// with a path). Network ports are always listed; they are checked side by side.
std::vector<PortReport> inspectPorts(const char* portList, bool includeAbsent,
                                     const PortSystem& system);

// A free port a board did not answer on: Silent, keeping the note of who has it open.
void markSilent(PortReport& report);

// The lines shown with "No EVM was found": every existing port, free ones counted as silent
// since the search has just passed them.
std::string noBoardDetails(const char* portList, const PortSystem& system);

} // namespace larkspur
