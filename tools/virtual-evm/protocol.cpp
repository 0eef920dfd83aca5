#include "protocol.h"

#include <cstdio>
#include <stdexcept>

namespace virtualevm {

uint16_t checksum(std::span<const uint8_t> headerAndPayload) {
    unsigned sum = 0;
    for (uint8_t byte : headerAndPayload) {
        sum += byte;
    }
    return static_cast<uint16_t>(sum & 0xFFFFu);
}

std::vector<uint8_t> buildFrame(std::span<const uint8_t> payload) {
    if (payload.size() > kMaxReplyPayload) {
        throw std::length_error("frame payload longer than a read of 255 registers");
    }
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + 4);
    frame.push_back(kStartByte);
    frame.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    const uint16_t sum = checksum(frame);
    frame.push_back(static_cast<uint8_t>(sum >> 8));
    frame.push_back(static_cast<uint8_t>(sum & 0xFF));
    return frame;
}

std::string hexBytes(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string hexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

std::optional<unsigned long> parseNumber(std::string_view text) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // Sixteen digits fit an unsigned long in either base, so no overflow check is needed.
    if (text.empty() || text.size() > 16) {
        return std::nullopt;
    }
    unsigned long value = 0;
    for (char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

std::vector<std::string> splitWords(std::string_view text, bool commas) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        const bool separator =
            c == ' ' || c == '\t' || c == '\r' || c == '\n' || (commas && c == ',');
        if (separator) {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace virtualevm
