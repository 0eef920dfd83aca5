#include "include/sundialports.h"

#include <algorithm>
#include <string_view>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace sundial {

namespace {

#if defined(_WIN32)
constexpr char kSeparator = ';';
#else
constexpr char kSeparator = ':';

struct PortBlock {
    int first;
    const char* prefix;
};

constexpr PortBlock kBlocks[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kBlockSize = 32;

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}
#endif

// The length of the URL entry at the start of `rest`: up to the separator that follows its port
// (an IPv6 host in brackets may hold the separator itself). npos when `rest` holds no URL there.
std::size_t urlLength(std::string_view rest) {
    const std::size_t scheme = rest.find("://");
    if (scheme == std::string_view::npos || !isPortUrl(rest.substr(0, scheme + 3))) {
        return std::string_view::npos;
    }
    std::size_t at = scheme + 3;
    if (at < rest.size() && rest[at] == '[') {
        const std::size_t close = rest.find(']', at);
        if (close == std::string_view::npos) {
            return rest.size();
        }
        at = close + 1;
    } else {
        at = rest.find(':', at);
    }
    if (at < rest.size() && rest[at] == ':') {
        ++at; // the port follows
    }
    return std::min(rest.find(kSeparator, at), rest.size());
}

// The list's entries; a URL is one entry whole.
std::vector<std::string_view> listPieces(std::string_view list) {
    std::vector<std::string_view> pieces;
    for (std::string_view rest(list);;) {
        std::size_t end = urlLength(rest);
        if (end == std::string_view::npos) {
            end = rest.find(kSeparator);
        }
        pieces.push_back(rest.substr(0, end));
        if (end >= rest.size()) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return pieces;
}

} // namespace

std::string portDevicePath(int number, const char* overrideList) {
    if (number < kFirstPort || number > kLastPort) {
        return {};
    }
    if (overrideList != nullptr) {
        const std::vector<std::string_view> pieces = listPieces(overrideList);
#if defined(_WIN32)
        return static_cast<std::size_t>(number) <= pieces.size()
                   ? std::string(pieces[static_cast<std::size_t>(number) - 1])
                   : std::string();
#else
        // Device names may hold ':' themselves (every /dev/serial/by-path/ name does): a piece
        // that names nothing is joined with the pieces after it when that names something
        // that exists. Lists that work piece by piece are read as they always were.
        int n = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            std::string entry(pieces[i]);
            if (!entry.empty() && !isPortUrl(entry) && !exists(entry)) {
                std::string joined = entry;
                // A piece that starts with '/' or is empty begins an entry of its own.
                for (std::size_t j = i + 1; j < pieces.size() && !pieces[j].empty() &&
                                            pieces[j].front() != '/' && !isPortUrl(pieces[j]);
                     ++j) {
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
#endif
    }
#if defined(_WIN32)
    return "\\\\.\\COM" + std::to_string(number);
#else
    for (const PortBlock& block : kBlocks) {
        if (number >= block.first && number < block.first + kBlockSize) {
            return block.prefix + std::to_string(number - block.first);
        }
    }
    return {};
#endif
}

} // namespace sundial
