// The five entries of the link library as the program calls them. A table of callables, so that
// the register layer runs the same against the loaded library and against a fake in tests.
#pragma once

#include <sundial.h>

#include <functional>

namespace larkspur {

struct LinkEntries {
    std::function<int32_t(int32_t port, const SundialChannel* channels)> init;
    std::function<int32_t()> close;
    std::function<int32_t(int32_t channel, int32_t reg, uint8_t* buffer, int32_t count)> readData;
    std::function<int32_t(int32_t channel, int32_t reg, const uint8_t* data, int32_t count)>
        writeData;
    std::function<int32_t()> getVer;
};

} // namespace larkspur
