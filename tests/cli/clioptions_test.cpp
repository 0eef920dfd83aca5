// --address checked where it is parsed, when the interface is given beside it: in the core's
// words, and only where the core would have checked it.
#include "cli/clioptions.h"
#include "device/boardsession.h"
#include "parserefusal.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <climits>

using namespace larkspur;
using namespace larkspur::cli;

using testsupport::refusal;

namespace {

struct NoSleep final : Sleeper {
    void sleepMs(int) override {}
};

struct Silent final : SessionReporter {
    void report(const std::string&) override {}
    void warn(const std::string&) override {}
};

// The core's refusal of `address` over `interfaceIndex`, or empty.
std::string coreRefusal(int interfaceIndex, int address) {
    testsupport::FakeLink link;
    testsupport::FakeLoader loader(&link.entries);
    NoSleep sleeper;
    Silent reporter;
    BoardSession session({loader, sleeper, PortSystem{}, "/nonexistent/Larkspur.ini"}, reporter);
    try {
        session.selectDevice(interfaceIndex, address);
    } catch (const ArgumentError& e) {
        return e.what();
    }
    return {};
}

TEST(CliAddress, WithTheInterfaceGivenItIsRefusedAsTheCoreRefusesIt) {
    const int addresses[] = {INT_MIN, -1, 0, 3, 4, 75, 76, 79, 80, INT_MAX};
    const std::pair<const char*, int> interfaces[] = {{"iic", kInterfaceI2c},
                                                      {"spi", kInterfaceSpi}};
    int refused = 0;
    for (const auto& [name, index] : interfaces) {
        for (const int address : addresses) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(address));
            const std::string expected = coreRefusal(index, address);
            EXPECT_EQ(refusal({"--interface", name, "--address", std::to_string(address), "dump"}),
                      expected);
            refused += expected.empty() ? 0 : 1;
        }
    }
    EXPECT_EQ(refused, 16);
}

// What the command line cannot know yet, or what no device is selected for, waits as before.
TEST(CliAddress, RefusedOnlyWhereTheCoreWouldHaveRefusedIt) {
    const struct {
        std::vector<std::string> words;
        const char* refusal;
    } cases[] = {
        {{"--address", "99", "dump"}, ""}, // the interface comes from Larkspur.ini
        {{"--interface", "iic", "--address", "99", "fields"}, ""},
        {{"--interface", "iic", "--address", "99", "help"}, ""},
        {{"--interface", "iic", "--address", "99", "--help"}, ""},
        {{"--address", "99", "--interface", "spi", "dump"}, "--address 99 is not 0 to 3 over SPI"},
        {{"--address", "0x4D", "--interface", "spi", "ports"},
         "--address 77 is not 0 to 3 over SPI"},
        {{"--interface", "iic", "--address", "99", "read"}, "wrong number of arguments for read"},
        {{"--interface", "iic", "--address", "99", "erase"}, "unknown command 'erase'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(refusal(c.words), c.refusal) << ::testing::PrintToString(c.words);
    }
}

} // namespace
