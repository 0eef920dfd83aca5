// A settings file of the running test's own, in a folder that is not there yet. A save makes it:
// run as root, a save to a shared path such as /nonexistent/Larkspur.ini would make that too,
// and the next test would find it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace testsupport {

inline std::filesystem::path scratchSettingsPath() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test == nullptr ? std::string("outside-a-test")
                                       : std::string(test->test_suite_name()) + "-" + test->name();
    std::replace(name.begin(), name.end(), '/', '-');
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) /
        ("larkspur-settings-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    return folder / "Larkspur.ini";
}

} // namespace testsupport
