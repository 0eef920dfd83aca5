// Fuzz target for the settings file's text: never crashes, a key set reads back as set, setting
// it again changes nothing, and every other line of the file is kept as it was.
#include "device/settingsfile.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The lines as the reader sees them: split at LF, one CR before it dropped, and every CR that
// ends a last line without its LF.
std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        while (end == text.size() && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// `after` is `before` with `line` put in place of one line, or added once, or added at the end
// under the section's header (after a blank line).
bool keepsEveryOtherLine(const std::vector<std::string>& before,
                         const std::vector<std::string>& after, const std::string& line,
                         const std::string& header) {
    std::size_t common = 0;
    while (common < before.size() && common < after.size() && before[common] == after[common]) {
        ++common;
    }
    const auto sameFrom = [&](std::size_t b, std::size_t a) {
        return before.size() - b == after.size() - a &&
               std::equal(before.begin() + static_cast<std::ptrdiff_t>(b), before.end(),
                          after.begin() + static_cast<std::ptrdiff_t>(a));
    };
    if (common == before.size() && common == after.size()) {
        return true; // the key already held the value, written the same way
    }
    if (common < after.size() && after[common] == line &&
        ((common < before.size() && sameFrom(common + 1, common + 1)) ||
         sameFrom(common, common + 1))) {
        return true;
    }
    const std::vector<std::string> tail = {header, line};
    const std::vector<std::string> blankTail = {"", header, line};
    const auto endsWith = [&](const std::vector<std::string>& added) {
        return common == before.size() && after.size() == before.size() + added.size() &&
               std::equal(added.begin(), added.end(),
                          after.begin() + static_cast<std::ptrdiff_t>(before.size()));
    };
    return endsWith(tail) || endsWith(blankTail);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the section, the key and the value's length; the rest is the file.
    static constexpr std::array<std::string_view, 3> kSections = {"SerialInterface",
                                                                  "serialinterface", "Other"};
    static constexpr std::array<std::string_view, 3> kKeys = {"Type", "ADDR", "k"};
    const std::uint8_t pick = data[0];
    const std::string_view section = kSections[pick % kSections.size()];
    const std::string_view key = kKeys[(pick / 3) % kKeys.size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    // A value as the program writes one: printable, without blanks, taken from the file's start.
    std::string value;
    for (char c : text.substr(0, pick / 9 % 8)) {
        value += (c > ' ' && c < 0x7F) ? c : '0';
    }

    const std::string written = larkspur::withSetting(text, section, key, value);
    require(larkspur::settingsValue(written, section, key) == value);
    require(larkspur::withSetting(written, section, key, value) == written);
    // The other key of the same section, and the same key elsewhere, read as before.
    const std::string_view otherKey = key == kKeys[0] ? kKeys[1] : kKeys[0];
    require(larkspur::settingsValue(written, section, otherKey) ==
            larkspur::settingsValue(text, section, otherKey));
    require(larkspur::settingsValue(written, "Elsewhere", key) ==
            larkspur::settingsValue(text, "Elsewhere", key));
    require(keepsEveryOtherLine(linesOf(text), linesOf(written), std::string(key) + "=" + value,
                                "[" + std::string(section) + "]"));
    return 0;
}
