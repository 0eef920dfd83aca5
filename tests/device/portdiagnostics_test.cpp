// Port diagnostics over a made-up system: what each port is, found without opening it.
#include "device/portdiagnostics.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fcntl.h>
#include <map>
#include <stdlib.h>
#include <unistd.h>

using namespace larkspur;

namespace {

// Devices by path; every other path does not exist.
struct FakeDevice {
    bool characterDevice = true;
    bool serial = true;
    bool mayOpen = true;
    std::vector<PortSystem::Holder> holders;
    gid_t group = 20;
    mode_t mode = S_IFCHR | 0660;
    bool exclusive = false;
};

PortSystem fakeSystem(const std::map<std::string, FakeDevice>& devices) {
    // A node carries its device's place in the list as its device number.
    const std::vector<FakeDevice> list = [&devices] {
        std::vector<FakeDevice> all;
        for (const auto& entry : devices) {
            all.push_back(entry.second);
        }
        return all;
    }();
    PortSystem system;
    system.node = [devices](const std::string& path) -> std::optional<PortSystem::Node> {
        const auto found = devices.find(path);
        if (found == devices.end()) {
            return std::nullopt;
        }
        PortSystem::Node node;
        node.characterDevice = found->second.characterDevice;
        node.device = static_cast<dev_t>(std::distance(devices.begin(), found));
        node.group = found->second.group;
        node.mode = found->second.mode;
        return node;
    };
    system.mayOpen = [devices](const std::string& path) { return devices.at(path).mayOpen; };
    system.isSerial = [list](const PortSystem::Node& node) { return list.at(node.device).serial; };
    system.holders = [list](const std::string&, const PortSystem::Node& node) {
        return list.at(node.device).holders;
    };
    system.groupName = [](gid_t group) { return group == 20 ? "dialout" : "uucp"; };
    system.exclusive = [devices](const std::string& path) { return devices.at(path).exclusive; };
    return system;
}

struct InspectCase {
    const char* name;
    FakeDevice device;
    bool exists;
    const char* line;
};

class InspectPort : public ::testing::TestWithParam<InspectCase> {};

TEST_P(InspectPort, TellsWhatStandsBehindTheNumber) {
    const InspectCase& c = GetParam();
    std::map<std::string, FakeDevice> devices;
    if (c.exists) {
        devices["/dev/ttyUSB0"] = c.device;
    }
    EXPECT_EQ(reportLine(inspectPort(33, "/dev/ttyUSB0", fakeSystem(devices))), c.line);
}

FakeDevice device(bool characterDevice, bool serial, bool mayOpen,
                  std::vector<PortSystem::Holder> holders = {}, gid_t group = 20,
                  mode_t mode = S_IFCHR | 0660) {
    return {characterDevice, serial, mayOpen, std::move(holders), group, mode};
}

INSTANTIATE_TEST_SUITE_P(
    Ports, InspectPort,
    ::testing::Values(
        InspectCase{"absent", {}, false, "33 /dev/ttyUSB0 absent: no such device"},
        InspectCase{"plainFile", device(false, false, true), true,
                    "33 /dev/ttyUSB0 not-serial: not a device"},
        InspectCase{"phantomUart", device(true, false, true), true,
                    "33 /dev/ttyUSB0 not-serial: no serial port behind it"},
        InspectCase{"noPermission", device(true, true, false), true,
                    "33 /dev/ttyUSB0 no-permission: join group dialout: sudo usermod -aG dialout "
                    "$USER, then log in again"},
        InspectCase{"otherGroup", device(true, true, false, {}, 10), true,
                    "33 /dev/ttyUSB0 no-permission: join group uucp: sudo usermod -aG uucp "
                    "$USER, then log in again"},
        // Joining a group that may not read and write the device would not help.
        InspectCase{"ownerOnly", device(true, true, false, {}, 0, S_IFCHR | 0600), true,
                    "33 /dev/ttyUSB0 no-permission: only its owner may use it: ask the "
                    "administrator for a group with read and write access (a udev rule)"},
        InspectCase{"groupMayOnlyRead", device(true, true, false, {}, 20, S_IFCHR | 0640), true,
                    "33 /dev/ttyUSB0 no-permission: only its owner may use it: ask the "
                    "administrator for a group with read and write access (a udev rule)"},
        InspectCase{"holderWithoutAName", device(true, true, true, {{31337, "", true}}), true,
                    "33 /dev/ttyUSB0 busy: held by PID 31337"},
        InspectCase{
            "exclusiveWithoutLock",
            FakeDevice{true, true, true, {{99, "virtual-evm", false}}, 20, S_IFCHR | 0660, true},
            true,
            "33 /dev/ttyUSB0 busy: in exclusive use by another program; open in "
            "virtual-evm (PID 99)"},
        InspectCase{"lockedByTwo",
                    device(true, true, true, {{4242, "minicom", true}, {7, "larkspur", true}}),
                    true, "33 /dev/ttyUSB0 busy: held by minicom (PID 4242), larkspur (PID 7)"},
        InspectCase{"openWithoutLock", device(true, true, true, {{99, "virtual-evm", false}}), true,
                    "33 /dev/ttyUSB0 free: open in virtual-evm (PID 99)"},
        InspectCase{"lockerNamedBeforeOpener",
                    device(true, true, true, {{99, "getty", false}, {5, "picocom", true}}), true,
                    "33 /dev/ttyUSB0 busy: held by picocom (PID 5)"},
        InspectCase{"free", device(true, true, true), true, "33 /dev/ttyUSB0 free"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(InspectPorts, FollowTheListOrTheTableAndSkipAbsentUnlessAsked) {
    const PortSystem system = fakeSystem(
        {{"/tmp/a", device(true, true, true)}, {"/dev/ttyACM1", device(true, true, true)}});
    const auto numbersOf = [](const std::vector<PortReport>& reports) {
        std::vector<int> numbers;
        for (const PortReport& report : reports) {
            numbers.push_back(report.number);
        }
        return numbers;
    };
    EXPECT_EQ(numbersOf(inspectPorts("/tmp/gone:/tmp/a:", false, system)), std::vector<int>{2});
    // An empty entry has no device at all, not even an absent one.
    EXPECT_EQ(numbersOf(inspectPorts("/tmp/gone:/tmp/a:", true, system)), (std::vector<int>{1, 2}));
    EXPECT_EQ(numbersOf(inspectPorts(nullptr, false, system)), std::vector<int>{66});
    EXPECT_EQ(inspectPorts(nullptr, true, system).size(), 96u) << "ttyS, ttyUSB and ttyACM 0-31";
}

TEST(NoBoardDetails, FreePortsDidNotAnswerAndKeepWhoHasThemOpen) {
    const PortSystem system =
        fakeSystem({{"/tmp/a", device(true, true, true)},
                    {"/tmp/b", device(true, true, true, {{9, "evm", false}})},
                    {"/tmp/c", device(true, true, true, {{8, "cli", true}})}});
    EXPECT_EQ(noBoardDetails("/tmp/a:/tmp/b:/tmp/c:/tmp/d", system),
              "1 /tmp/a silent: no board answered\n"
              "2 /tmp/b silent: no board answered; open in evm (PID 9)\n"
              "3 /tmp/c busy: held by cli (PID 8)");
    EXPECT_EQ(noBoardDetails("/tmp/none", system), "No serial port device exists.");
}

using Reach = sundial::NetworkReach;

struct NetworkCase {
    const char* name;
    sundial::NetworkCheck check;
    const char* line;
};

class InspectNetworkPort : public ::testing::TestWithParam<NetworkCase> {};

// No device exists in the made-up system: a look at one would report the port absent.
TEST_P(InspectNetworkPort, TellsWhatTheServerDidWithoutLookingForADevice) {
    PortSystem system = fakeSystem({});
    system.network = [](const std::string&) { return GetParam().check; };
    EXPECT_EQ(reportLine(inspectPort(2, "tcp://rack:3001", system)), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, InspectNetworkPort,
    ::testing::Values(
        NetworkCase{"connected", {Reach::Connected, ""}, "2 tcp://rack:3001 free"},
        NetworkCase{"servingAnother",
                    {Reach::Busy, "Port already in use"},
                    "2 tcp://rack:3001 busy: the server is serving another client on this port "
                    "(it takes one at a time)"},
        NetworkCase{"closed",
                    {Reach::Closed, "Device open failure: Permission denied"},
                    "2 tcp://rack:3001 closed: the server closed the connection: Device open "
                    "failure: Permission denied"},
        NetworkCase{"refused",
                    {Reach::Refused, ""},
                    "2 tcp://rack:3001 refused: connection refused: nothing listens on that port "
                    "(is the server running?)"},
        NetworkCase{"timedOut",
                    {Reach::TimedOut, ""},
                    "2 tcp://rack:3001 unreachable: no route to the host, or no answer in time"},
        NetworkCase{"unknownHost",
                    {Reach::UnknownHost, ""},
                    "2 tcp://rack:3001 unknown-host: unknown host"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(NoBoardDetails, NetworkPortsAreListedWithoutAnyDeviceAndASilentOneWasConnected) {
    PortSystem system = fakeSystem({});
    system.network = [](const std::string& url) {
        EXPECT_EQ(url, "tcp://a:1") << "a URL the library cannot read is not looked up";
        return sundial::NetworkCheck{Reach::Connected, ""};
    };
    EXPECT_EQ(noBoardDetails("/tmp/none:tcp://a:1:tcp://rack", system),
              "2 tcp://a:1 silent: connected, but the board is silent\n3 tcp://rack bad-url: not "
              "a valid port URL: use tcp://HOST:PORT or rfc2217://HOST:PORT");
}

TEST(RealPortSystem, SeesThisProcessesLockOnAPseudoTerminalAsNoOnesElse) {
    // The real checks on a real pty: a serial device, accessible; our own lock is not another
    // program's.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    const PortReport report = inspectPort(1, slave, PortSystem::real());
    EXPECT_EQ(report.state, PortState::Free) << reportLine(report);
    EXPECT_EQ(inspectPort(1, "/proc/self/status", PortSystem::real()).state, PortState::NotSerial);
    ::close(master);
}

} // namespace
