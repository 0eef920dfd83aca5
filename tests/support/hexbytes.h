// Byte vectors written the way the protocol is read on a scope: "1E 03 8F 00 FF 01 AF".
#pragma once

#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<std::uint8_t> bytesOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::uint8_t> bytes;
    std::string word;
    while (in >> word) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

inline std::string hexOf(std::span<const std::uint8_t> bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

} // namespace testsupport
