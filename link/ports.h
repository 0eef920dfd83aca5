// Port numbers to port names: the table the library opens ports by, and the names of ports
// behind a network serial server; the reach of a network port and the holder of a device's lock,
// for diagnostics. None of it is among the library's exported entries, and the header is not
// installed: the program compiles these in (the sundial_ports target) to name ports as the library
// does. It is the one header of link/ besides <sundial.h> that other folders may include, so it
// includes no other header of link/.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sundial {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 256;

// The name of port `number` (a device node, a Windows device name or a URL), or an empty string
// when that number has none. `overrideList` is the value of SUNDIAL_PORTS (null when unset): a
// list whose n-th entry is port n, separated by ':' on POSIX systems and by ';' on Windows. A URL
// (below) is one entry whole, ':' and all. Without the list, POSIX numbers map to fixed blocks,
// so that a board keeps its number while other devices come and go: 1-32 ttyS0-31, 33-64
// ttyUSB0-31, 65-96 ttyACM0-31; Windows numbers are COM1 to COM256.
std::string portDevicePath(int number, const char* overrideList);

// The same names from one reading of the list: each entry is looked up once, when a number at
// or above it is first asked for, so that naming every port costs one pass over the list where
// portDevicePath() for each number reads it anew up to that number.
class PortTable {
public:
    // Whether a device name names something (POSIX); tests give their own.
    using Exists = bool (*)(const std::string& name);

    // `overrideList` as for portDevicePath(), copied; null for the fixed table.
    explicit PortTable(const char* overrideList, Exists exists = nullptr);

    // As portDevicePath(number, overrideList).
    std::string name(int number);

private:
    void resolveNext();

    bool m_listed;
    std::vector<std::string> m_pieces; // the list cut at its separators, URLs whole
    std::size_t m_nextPiece = 0;
    std::vector<std::string> m_entries; // port n at n - 1, as far as resolved
    Exists m_exists;
};

// A port behind a network serial server.
struct PortUrl {
    enum class Protocol {
        RawTcp,  // tcp://HOST:PORT, the server holds the line settings
        Rfc2217, // rfc2217://HOST:PORT, telnet with the serial port control option
    };
    Protocol protocol = Protocol::RawTcp;
    std::string host; // a name, an IPv4 address or an IPv6 address (without its brackets)
    int port = 0;     // 1 to 65535
};

// Whether `name` is meant as a URL: a scheme of letters, digits, '+', '-' or '.' and "://".
// Such a name is never a device, even when parsePortUrl() rejects it.
bool isPortUrl(std::string_view name);

// tcp://HOST:PORT or rfc2217://HOST:PORT (scheme in any case), HOST a name, an IPv4 address or
// [IPv6]; nothing may follow the port. Empty for anything else.
std::optional<PortUrl> parsePortUrl(std::string_view name);

// What a connection to a network port meets, for diagnostics: the server takes the client,
// serves another client on that port (it says so and closes), closes at once for another
// reason (it cannot open its device), refuses, cannot be reached, does not answer in time, or
// the host name is not known.
enum class NetworkReach {
    Connected,
    Busy,
    Closed,
    Refused,
    Unreachable,
    TimedOut,
    UnknownHost,
    BadUrl
};

struct NetworkCheck {
    NetworkReach reach = NetworkReach::BadUrl;
    std::string message; // Busy, Closed: the server's first line, if it sent one
};

// Connects to `url` (as the library would, within `timeoutMs`), watches for up to `settleMs`
// whether the server turns the client away, and disconnects. Sends nothing.
NetworkCheck checkNetworkPort(std::string_view url, int timeoutMs, int settleMs);

#if !defined(_WIN32)
// The process that holds a UUCP lock file for the device ("LCK..ttyUSB0" in /run/lock or
// /var/lock, for the device the path resolves to), when it is alive and not this process;
// 0 when there is none. Programs such as minicom and picocom take the port this way.
long uucpLockHolder(const std::string& devicePath);
#endif

} // namespace sundial
