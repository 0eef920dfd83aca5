#include "sundialports.h"

#include <string_view>
#include <unistd.h>
#include <vector>

namespace sundial {

namespace {

struct PortBlock {
    int first;
    const char* prefix;
};

constexpr PortBlock kBlocks[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kBlockSize = 32;

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

} // namespace

std::string portDevicePath(int number, const char* overrideList) {
    if (number < kFirstPort || number > kLastPort) {
        return {};
    }
    if (overrideList != nullptr) {
        std::vector<std::string_view> pieces;
        for (std::string_view rest(overrideList);;) {
            const std::size_t colon = rest.find(':');
            pieces.push_back(rest.substr(0, colon));
            if (colon == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(colon + 1);
        }
        // Device names may hold ':' themselves (every /dev/serial/by-path/ name does): a piece
        // that names nothing is joined with the pieces after it when that names something
        // that exists. Lists that work piece by piece are read as they always were.
        int n = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            std::string entry(pieces[i]);
            if (!entry.empty() && !exists(entry)) {
                std::string joined = entry;
                // A piece that starts with '/' or is empty begins an entry of its own.
                for (std::size_t j = i + 1;
                     j < pieces.size() && !pieces[j].empty() && pieces[j].front() != '/'; ++j) {
                    joined += ':';
                    joined += pieces[j];
                    if (exists(joined)) {
                        entry = joined;
                        i = j;
                        break;
                    }
                }
            }
            if (++n == number) {
                return entry;
            }
        }
        return {};
    }
    for (const PortBlock& block : kBlocks) {
        if (number >= block.first && number < block.first + kBlockSize) {
            return block.prefix + std::to_string(number - block.first);
        }
    }
    return {};
}

} // namespace sundial
