#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace virtualevm {

inline constexpr uint8_t kStartByte = 0x1E;
inline constexpr uint8_t kAckByte = 0x1F;
inline constexpr uint8_t kProbeCommand = 0x8F;

// Sum of the start byte, the length byte and the payload, modulo 65536.
uint16_t checksum(std::span<const uint8_t> headerAndPayload);

// The longest payload: the reply to a read of 255 registers (five header bytes and the values).
inline constexpr std::size_t kMaxReplyPayload = 5 + 255;

// 0x1E, N, payload, checksum high, checksum low. N holds the low 8 bits of the payload's size, as
// every byte field does, so a reply to a read of more than 250 registers wraps it. The payload
// must not exceed kMaxReplyPayload.
std::vector<uint8_t> buildFrame(std::span<const uint8_t> payload);

inline const std::vector<uint8_t>& ackBytes() {
    static const std::vector<uint8_t> ack{kAckByte, 0x00};
    return ack;
}

// "1E 03 8F" style: upper-case, two digits, single spaces.
std::string hexBytes(std::span<const uint8_t> bytes);

// "0x4C" style, two digits.
std::string hexByte(uint8_t value);

// Decimal or 0x-hex, whole string, no sign.
std::optional<unsigned long> parseNumber(std::string_view text);

// Splits on blanks (and commas when asked); empty words are dropped.
std::vector<std::string> splitWords(std::string_view text, bool commas = false);

} // namespace virtualevm
