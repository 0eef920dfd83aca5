#include "link/portopener.h"
#include "link/ports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

using sundial::portDevicePath;
using sundial::PortTable;

namespace {

struct PortCase {
    int number;
    const char* overrideList;
    const char* path;
};

TEST(PortNames, NumbersMapToDeviceNodes) {
    const PortCase cases[] = {
        {1, nullptr, "/dev/ttyS0"},
        {32, nullptr, "/dev/ttyS31"},
        {33, nullptr, "/dev/ttyUSB0"},
        {64, nullptr, "/dev/ttyUSB31"},
        {65, nullptr, "/dev/ttyACM0"},
        {96, nullptr, "/dev/ttyACM31"},
        {97, nullptr, ""},
        {256, nullptr, ""},
        {0, nullptr, ""},
        {-1, nullptr, ""},
        {257, nullptr, ""},
        // The override replaces the table altogether.
        {1, "/tmp/a:/tmp/b", "/tmp/a"},
        {2, "/tmp/a:/tmp/b", "/tmp/b"},
        {3, "/tmp/a:/tmp/b", ""},
        {33, "/tmp/a:/tmp/b", ""},
        {1, "", ""},
        {1, ":/tmp/b", ""},
        {2, ":/tmp/b", "/tmp/b"},
        {2, "/tmp/a::/tmp/c", ""},
        {3, "/tmp/a::/tmp/c", "/tmp/c"},
        {2, "/tmp/a:", ""},
        {1, "/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x"},
    };
    for (const PortCase& c : cases) {
        EXPECT_EQ(portDevicePath(c.number, c.overrideList), c.path)
            << c.number << " with " << (c.overrideList ? c.overrideList : "(unset)");
    }
}

// Names that hold ':' (/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0) are one entry
// when the whole name exists; lists keep their meaning.
TEST(PortNames, ANameWithColonsIsOneEntry) {
    char folder[] = "/tmp/portname.XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string byPath = std::string(folder) + "/pci-0000:00:14.0-usb-0:1:1.0-port0";
    std::ofstream(byPath).put('\n');
    const std::string other = std::string(folder) + "/tty";
    std::ofstream(other).put('\n');
    const struct {
        std::string list;
        int number;
        std::string path;
    } cases[] = {
        {byPath, 1, byPath},
        {byPath, 2, ""},
        {byPath + ":" + other, 2, other},
        {other + ":" + byPath + ":", 2, byPath},
        {other + ":" + byPath + ":", 3, ""},
        {":" + byPath, 2, byPath},
        // A name that does not exist is taken piece by piece, as before.
        {std::string(folder) + "/gone:1:2", 1, std::string(folder) + "/gone"},
        {std::string(folder) + "/gone:1:2", 3, "2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(portDevicePath(c.number, c.list.c_str()), c.path) << c.number << " of " << c.list;
    }
    std::filesystem::remove_all(folder);
}

TEST(PortNames, OverrideReachesPort256) {
    std::string list;
    for (int n = 1; n <= 257; ++n) {
        list += (n > 1 ? ":" : "") + std::string("/p") + std::to_string(n);
    }
    EXPECT_EQ(portDevicePath(256, list.c_str()), "/p256");
    EXPECT_EQ(portDevicePath(257, list.c_str()), "");
}

// A URL is one entry of the list, whatever ':' it holds, and never a device to look for.
TEST(PortNames, AUrlIsOneEntry) {
    const PortCase cases[] = {
        {1, "tcp://127.0.0.1:4000", "tcp://127.0.0.1:4000"},
        {2, "tcp://127.0.0.1:4000", ""},
        {1, "rfc2217://lab-rack:3001:/dev/ttyUSB0", "rfc2217://lab-rack:3001"},
        {2, "rfc2217://lab-rack:3001:/dev/ttyUSB0", "/dev/ttyUSB0"},
        {2, "/dev/ttyS0:tcp://[::1]:4000:/dev/ttyS1", "tcp://[::1]:4000"},
        {3, "/dev/ttyS0:tcp://[::1]:4000:/dev/ttyS1", "/dev/ttyS1"},
        {2, "tcp://[fe80::1:2]:7:TCP://h:8", "TCP://h:8"},
        // Malformed URLs are still one entry each: they name no port, and nothing else.
        {1, "tcp://nohost", "tcp://nohost"},
        {2, "tcp://h:1:tcp://[::1:/dev/x", "tcp://[::1:/dev/x"},
        {2, "tcp://:99:/dev/x", "/dev/x"},
        {3, "/dev/a:nope:tcp://h:1", "tcp://h:1"},
    };
    for (const PortCase& c : cases) {
        EXPECT_EQ(portDevicePath(c.number, c.overrideList), c.path)
            << c.number << " of " << c.overrideList;
    }
}

TEST(PortUrls, TheFormsThatNameAPort) {
    using Protocol = sundial::PortUrl::Protocol;
    const struct {
        const char* name;
        bool url;
        std::optional<Protocol> protocol;
        const char* host;
        int port;
    } cases[] = {
        {"tcp://127.0.0.1:2001", true, Protocol::RawTcp, "127.0.0.1", 2001},
        {"rfc2217://lab-rack.local:3001", true, Protocol::Rfc2217, "lab-rack.local", 3001},
        {"RFC2217://Host_1:1", true, Protocol::Rfc2217, "Host_1", 1},
        {"tcp://[::1]:65535", true, Protocol::RawTcp, "::1", 65535},
        {"tcp://[::ffff:10.0.0.1]:80", true, Protocol::RawTcp, "::ffff:10.0.0.1", 80},
        {"tcp://host:0", true, std::nullopt, "", 0},
        {"tcp://host:65536", true, std::nullopt, "", 0},
        {"tcp://host:", true, std::nullopt, "", 0},
        {"tcp://host", true, std::nullopt, "", 0},
        {"tcp://host:80/", true, std::nullopt, "", 0},
        {"tcp://host:8x", true, std::nullopt, "", 0},
        {"tcp://:80", true, std::nullopt, "", 0},
        {"tcp://ho st:80", true, std::nullopt, "", 0},
        {"tcp://[::1:80", true, std::nullopt, "", 0},
        {"tcp://[]:80", true, std::nullopt, "", 0},
        {"tcp://[host]:80", true, std::nullopt, "", 0},
        {"tcp://user@host:80", true, std::nullopt, "", 0},
        {"telnet://host:23", true, std::nullopt, "", 0},
        {"/dev/ttyUSB0", false, std::nullopt, "", 0},
        {"COM3", false, std::nullopt, "", 0},
        {"://host:1", false, std::nullopt, "", 0},
        {"/tmp/x://y", false, std::nullopt, "", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sundial::isPortUrl(c.name), c.url) << c.name;
        const std::optional<sundial::PortUrl> url = sundial::parsePortUrl(c.name);
        ASSERT_EQ(url.has_value(), c.protocol.has_value()) << c.name;
        if (url) {
            EXPECT_EQ(url->protocol, *c.protocol) << c.name;
            EXPECT_EQ(url->host, c.host) << c.name;
            EXPECT_EQ(url->port, c.port) << c.name;
        }
    }
}

// Device names that exist for the port tables below, and how often a name was looked up.
const std::set<std::string> kExisting = {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0"};
int g_lookups = 0;
bool countedLookUp(const std::string& name) {
    ++g_lookups;
    return kExisting.count(name) != 0;
}

// Naming every port of a list looks each entry up once, whatever order the numbers come in: a
// search or a port report costs as much as the list is long, not its square.
TEST(PortTables, NamingEveryPortLooksEachEntryUpOnce) {
    std::string absent;
    std::vector<std::string> absentNames;
    for (int n = 1; n <= 256; ++n) {
        absentNames.push_back("/nonexistent/tty" + std::to_string(n));
        absent += (n > 1 ? ":" : "") + absentNames.back();
    }
    const std::string byPath = *kExisting.begin();
    const struct {
        const char* what;
        std::string list;
        std::vector<std::string> names;
        int lookups;
    } cases[] = {
        {"256 absent devices", absent, absentNames, 256},
        // The name with ':' takes one look-up for each of its pieces.
        {"a name with ':'",
         "/dev/ttyS0:" + byPath + ":/dev/ttyS1:tcp://[::1]:4000",
         {"/dev/ttyS0", byPath, "/dev/ttyS1", "tcp://[::1]:4000"},
         1 + 5 + 1},
    };
    for (const auto& c : cases) {
        for (const bool ascending : {true, false}) {
            PortTable table(c.list.c_str(), &countedLookUp);
            g_lookups = 0;
            std::vector<std::string> names(c.names.size());
            for (std::size_t k = 0; k < names.size(); ++k) {
                const std::size_t i = ascending ? k : names.size() - 1 - k;
                names[i] = table.name(static_cast<int>(i) + 1);
            }
            EXPECT_EQ(table.name(static_cast<int>(names.size()) + 1), "") << c.what;
            EXPECT_EQ(names, c.names) << c.what << (ascending ? ", ascending" : ", descending");
            EXPECT_EQ(g_lookups, c.lookups)
                << c.what << (ascending ? ", ascending" : ", descending");
        }
    }
}

// Within one _init the list is read once; a change to SUNDIAL_PORTS meanwhile is seen by the
// next.
TEST(PortTables, AnInitReadsTheListOnce) {
    ::setenv("SUNDIAL_PORTS", "/tmp/a:/tmp/b", 1);
    {
        const sundial::PortListScope init;
        ::setenv("SUNDIAL_PORTS", "/tmp/c", 1);
        EXPECT_EQ(sundial::portName(2), "/tmp/b");
    }
    EXPECT_EQ(sundial::portName(1), "/tmp/c");
    EXPECT_EQ(sundial::portName(2), "");
    ::unsetenv("SUNDIAL_PORTS");
}

} // namespace
