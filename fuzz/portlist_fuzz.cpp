// Fuzz target for the port list (SUNDIAL_PORTS) and the URLs in it: never crashes; each entry
// is one stretch of the list, the same whichever order the numbers are asked in and however many
// tables ask; an entry's look-ups stay within its pieces; every URL accepted reads back the same
// when written out again.
#include "link/ports.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The device names that exist for this input, and how often a name was looked up.
std::set<std::string> g_existing;
std::size_t g_lookups = 0;
bool exists(const std::string& name) {
    ++g_lookups;
    return g_existing.count(name) != 0;
}

void checkUrl(std::string_view name) {
    const std::optional<sundial::PortUrl> url = sundial::parsePortUrl(name);
    if (!url) {
        return;
    }
    require(sundial::isPortUrl(name));
    require(!url->host.empty() && url->port >= 1 && url->port <= 65535);
    const bool ipv6 = url->host.find(':') != std::string::npos;
    const std::string written =
        std::string(url->protocol == sundial::PortUrl::Protocol::RawTcp ? "tcp" : "rfc2217") +
        "://" + (ipv6 ? "[" + url->host + "]" : url->host) + ":" + std::to_string(url->port);
    const std::optional<sundial::PortUrl> again = sundial::parsePortUrl(written);
    require(again && again->protocol == url->protocol && again->host == url->host &&
            again->port == url->port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The list, then on lines of their own the names that exist.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = std::min(input.find('\n'), input.size());
    const std::string list(input.substr(0, end));
    if (list.find('\0') != std::string::npos) {
        return 0; // an environment variable holds none
    }
    g_existing.clear();
    for (std::size_t at = end; at < input.size();) {
        const std::size_t next = std::min(input.find('\n', at + 1), input.size());
        g_existing.emplace(input.substr(at + 1, next - at - 1));
        at = next;
    }
    checkUrl(input);

    sundial::PortTable ascending(list.c_str(), &exists);
    g_lookups = 0;
    std::vector<std::string> names;
    for (int n = sundial::kFirstPort; n <= sundial::kLastPort; ++n) {
        names.push_back(ascending.name(n));
    }
    // A piece is looked up alone and then joined with those after it, each at most once.
    const std::size_t pieces = static_cast<std::size_t>(std::count(list.begin(), list.end(), ':') +
                                                        std::count(list.begin(), list.end(), ';')) +
                               1;
    require(g_lookups <= pieces * pieces);
    sundial::PortTable descending(list.c_str(), &exists);
    for (int n = sundial::kLastPort; n >= sundial::kFirstPort; --n) {
        require(descending.name(n) == names[static_cast<std::size_t>(n - 1)]);
    }
    require(sundial::PortTable(list.c_str(), &exists).name(sundial::kLastPort) == names.back());
    require(sundial::PortTable(list.c_str(), &exists).name(0).empty());
    require(sundial::PortTable(list.c_str(), &exists).name(sundial::kLastPort + 1).empty());

    // Entries follow each other through the list: each is found after the one before it.
    std::size_t from = 0;
    for (const std::string& name : names) {
        if (name.empty()) {
            continue;
        }
        const std::size_t at = list.find(name, from);
        require(at != std::string::npos);
        from = at + name.size();
        checkUrl(name);
    }
    return 0;
}
