#include "ports.h"

#include <algorithm>
#include <cctype>

namespace sundial {

namespace {

bool isSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isHostNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

} // namespace

bool isPortUrl(std::string_view name) {
    const std::size_t separator = name.find("://");
    if (separator == std::string_view::npos || separator == 0) {
        return false;
    }
    const std::string_view scheme = name.substr(0, separator);
    return std::isalpha(static_cast<unsigned char>(scheme.front())) != 0 &&
           std::all_of(scheme.begin(), scheme.end(), isSchemeCharacter);
}

std::optional<PortUrl> parsePortUrl(std::string_view name) {
    if (!isPortUrl(name)) {
        return std::nullopt;
    }
    const std::size_t separator = name.find("://");
    PortUrl url;
    const std::string_view scheme = name.substr(0, separator);
    if (equalsIgnoringCase(scheme, "tcp")) {
        url.protocol = PortUrl::Protocol::RawTcp;
    } else if (equalsIgnoringCase(scheme, "rfc2217")) {
        url.protocol = PortUrl::Protocol::Rfc2217;
    } else {
        return std::nullopt;
    }
    std::string_view rest = name.substr(separator + 3);
    std::string_view host;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        // An IPv6 address: hexadecimal groups, ':' and an embedded IPv4 tail.
        if (host.empty() || host.find(':') == std::string_view::npos ||
            !std::all_of(host.begin(), host.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
            })) {
            return std::nullopt;
        }
        rest.remove_prefix(close + 1);
    } else {
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(0, colon);
        if (host.empty() || !std::all_of(host.begin(), host.end(), isHostNameCharacter)) {
            return std::nullopt;
        }
        rest.remove_prefix(colon);
    }
    if (rest.size() < 2 || rest.front() != ':' || rest.size() > 6) {
        return std::nullopt;
    }
    rest.remove_prefix(1);
    int port = 0;
    for (const char c : rest) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return std::nullopt;
        }
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    url.host = std::string(host);
    url.port = port;
    return url;
}

} // namespace sundial
