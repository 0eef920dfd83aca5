#include "sundialports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using sundial::portDevicePath;

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

} // namespace
