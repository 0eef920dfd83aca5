// Table-driven tests name each case by its `name` member, in the output and for --gtest_filter.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

struct ByCaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
        return std::string(info.param.name);
    }
};

} // namespace testsupport
