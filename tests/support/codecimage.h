// The codec's registers as an image for the tests: the defaults with some registers changed.
#pragma once

#include "device/codecregisters.h"

#include <initializer_list>
#include <utility>

namespace testsupport {

inline larkspur::RegisterImage
imageWith(std::initializer_list<std::pair<int, std::uint8_t>> changes) {
    larkspur::RegisterImage image = larkspur::kDefaultRegisters;
    for (const auto& [reg, value] : changes) {
        image[static_cast<std::size_t>(reg - larkspur::kFirstRegister)] = value;
    }
    return image;
}

} // namespace testsupport
