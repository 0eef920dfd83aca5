// --address checked where it is parsed, when the interface is given beside it, and only where
// the core would have checked it.
#include "cli/clioptions.h"
#include "parserefusal.h"

#include <gtest/gtest.h>

using testsupport::refusal;

namespace {

TEST(CliAddress, RefusedAsItIsReadOnlyWhereTheCoreWouldRefuseIt) {
    const struct {
        std::vector<std::string> words;
        const char* refusal;
    } cases[] = {
        {{"--interface", "iic", "--address", "76", "dump"}, ""},
        {{"--interface", "iic", "--address", "79", "dump"}, ""},
        {{"--interface", "iic", "--address", "75", "dump"},
         "--address 75 is not 76 to 79 over IIC"},
        {{"--interface", "iic", "--address", "80", "dump"},
         "--address 80 is not 76 to 79 over IIC"},
        // No number overflows the check.
        {{"--interface", "iic", "--address", "-2147483648", "dump"},
         "--address -2147483648 is not 76 to 79 over IIC"},
        {{"--interface", "spi", "--address", "3", "dump"}, ""},
        {{"--address", "99", "--interface", "spi", "dump"}, "--address 99 is not 0 to 3 over SPI"},
        {{"--address", "0x4D", "--interface", "spi", "ports"},
         "--address 77 is not 0 to 3 over SPI"},
        // What the command line cannot know yet, or what no device is selected for, waits.
        {{"--address", "99", "dump"}, ""}, // the interface comes from Larkspur.ini
        {{"--interface", "iic", "--address", "99", "fields"}, ""},
        {{"--interface", "iic", "--address", "99", "help"}, ""},
        {{"--interface", "iic", "--address", "99", "--help"}, ""},
        // The command's own checks come first.
        {{"--interface", "iic", "--address", "99", "read"}, "wrong number of arguments for read"},
        {{"--interface", "iic", "--address", "99", "erase"}, "unknown command 'erase'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(refusal(c.words), c.refusal) << ::testing::PrintToString(c.words);
    }
}

} // namespace
