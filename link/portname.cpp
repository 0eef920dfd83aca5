#include "sundialports.h"

#include <string_view>

namespace sundial {

namespace {

struct PortBlock {
    int first;
    const char* prefix;
};

constexpr PortBlock kBlocks[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kBlockSize = 32;

} // namespace

std::string portDevicePath(int number, const char* overrideList) {
    if (number < kFirstPort || number > kLastPort) {
        return {};
    }
    if (overrideList != nullptr) {
        std::string_view rest(overrideList);
        for (int n = 1;; ++n) {
            const std::size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (n == number) {
                return std::string(entry);
            }
            if (colon == std::string_view::npos) {
                return {};
            }
            rest.remove_prefix(colon + 1);
        }
    }
    for (const PortBlock& block : kBlocks) {
        if (number >= block.first && number < block.first + kBlockSize) {
            return block.prefix + std::to_string(number - block.first);
        }
    }
    return {};
}

} // namespace sundial
