// The command line's refusal of some words, for the tests of its checks.
#pragma once

#include "cli/clioptions.h"

#include <string>
#include <vector>

namespace testsupport {

// The refusal's words, or empty when the words are taken.
inline std::string refusal(const std::vector<std::string>& words) {
    try {
        larkspur::cli::parseCliOptions(words);
    } catch (const larkspur::cli::UsageError& e) {
        return e.what();
    }
    return {};
}

} // namespace testsupport
