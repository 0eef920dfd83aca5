#include "ports.h"

#include <algorithm>
#include <string_view>
#include <utility>
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

// Linux's PATH_MAX, with the terminating zero.
constexpr std::size_t kPathLimit = 4096;
#endif

bool deviceExists([[maybe_unused]] const std::string& path) {
#if defined(_WIN32)
    return true; // Windows names are never joined
#else
    return ::access(path.c_str(), F_OK) == 0;
#endif
}

// The length of the URL entry at the start of `rest`: up to the separator that follows its port
// (an IPv6 host in brackets may hold the separator itself). npos when `rest` holds no URL there.
// A scheme holds no ':', so its "://" is at the first ':'; nothing past it is looked at, so that
// the whole list is read once.
std::size_t urlLength(std::string_view rest) {
    const std::size_t scheme = rest.find(':');
    if (scheme == std::string_view::npos || rest.substr(scheme, 3) != "://" ||
        !isPortUrl(rest.substr(0, scheme + 3))) {
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
std::vector<std::string> listPieces(std::string_view list) {
    std::vector<std::string> pieces;
    for (std::string_view rest(list);;) {
        std::size_t end = urlLength(rest);
        if (end == std::string_view::npos) {
            end = rest.find(kSeparator);
        }
        pieces.emplace_back(rest.substr(0, end));
        if (end >= rest.size()) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return pieces;
}

} // namespace

std::string portDevicePath(int number, const char* overrideList) {
    return PortTable(overrideList).name(number);
}

PortTable::PortTable(const char* overrideList, Exists exists)
    : m_listed(overrideList != nullptr), m_exists(exists != nullptr ? exists : &deviceExists) {
    if (m_listed) {
        m_pieces = listPieces(overrideList);
    }
}

std::string PortTable::name(int number) {
    if (number < kFirstPort || number > kLastPort) {
        return {};
    }
    if (m_listed) {
        const auto index = static_cast<std::size_t>(number - 1);
        while (m_entries.size() <= index && m_nextPiece < m_pieces.size()) {
            resolveNext();
        }
        return index < m_entries.size() ? m_entries[index] : std::string();
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

void PortTable::resolveNext() {
    std::size_t i = m_nextPiece;
    std::string entry = m_pieces[i];
#if !defined(_WIN32)
    // Device names may hold ':' themselves (every /dev/serial/by-path/ name does): a piece that
    // names nothing is joined with the pieces after it when that names something that exists.
    // Lists that work piece by piece are read as they always were.
    if (!entry.empty() && !isPortUrl(entry) && !m_exists(entry)) {
        std::string joined = entry;
        // A piece that starts with '/' or is empty begins an entry of its own; a name longer
        // than a path can be names nothing.
        for (std::size_t j = i + 1;
             j < m_pieces.size() && !m_pieces[j].empty() && m_pieces[j].front() != '/' &&
             !isPortUrl(m_pieces[j]) && joined.size() + 1 + m_pieces[j].size() < kPathLimit;
             ++j) {
            joined += ':';
            joined += m_pieces[j];
            if (m_exists(joined)) {
                entry = joined;
                i = j;
                break;
            }
        }
    }
#endif
    m_entries.push_back(std::move(entry));
    m_nextPiece = i + 1;
}

} // namespace sundial
