// Framing of the board protocol: pure byte arithmetic, no I/O.
#pragma once

#include "include/sundial.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sundial {

inline constexpr int kChannels = SUNDIAL_CHANNELS;
inline constexpr std::uint8_t kStartByte = 0x1E;
inline constexpr std::array<std::uint8_t, 2> kAck = {0x1F, 0x00};
// A request's payload: its length travels in one byte.
inline constexpr std::size_t kMaxPayload = 255;
// The count byte of a read request.
inline constexpr int kMaxReadCount = 255;

// Payload bytes of the probe reply and of a device write's reply.
inline constexpr int kShortReplyPayload = 3;

struct Channel {
    std::int32_t type = 0;
    std::int32_t address = 0;
};

// One frame: start byte, length, payload, 16-bit sum high byte first.
class Frame {
public:
    static constexpr std::size_t kMaxSize = kMaxPayload + 4;

    // Empty optional when the payload does not fit the length byte.
    static std::optional<Frame> fromPayload(std::span<const std::uint8_t> payload);

    std::span<const std::uint8_t> bytes() const { return {m_bytes.data(), m_size}; }
    std::size_t size() const { return m_size; }
    std::span<const std::uint8_t> payload() const { return {m_bytes.data() + 2, m_size - 4}; }
    std::uint8_t command() const { return m_bytes[2]; }
    std::uint8_t typeByte() const { return m_bytes[3]; }

private:
    std::array<std::uint8_t, kMaxSize> m_bytes{};
    std::size_t m_size = 0;
};

// Sum of the bytes modulo 65536.
std::uint16_t checksum(std::span<const std::uint8_t> bytes);

// Whether `bytes` (at most kMaxReplyFrame) is one whole frame: start byte, a length byte that
// holds the low 8 bits of the payload's size, payload and the checksum over everything before it.
bool isWellFormedFrame(std::span<const std::uint8_t> bytes);

// A channel's type as the board is told it: the set-up request carries the low 8 bits of the
// entry's type, so reads and writes take the same view (0x101 is type 1).
inline constexpr std::uint8_t channelType(std::int32_t type) {
    return static_cast<std::uint8_t>(type & 0xFF);
}

// Whether the type can be addressed by reads and writes at all.
bool isAddressableType(std::int32_t type);

// Largest write count whose frame still fits its length byte; 0 for a type that is never
// addressed.
int maxWriteCount(std::int32_t type);

// Requests. Each byte field takes the low 8 bits of its value. An empty optional means the
// request cannot be framed (bad channel, type, count or length) and nothing may be sent.
std::optional<Frame> writeRequest(int channel, Channel entry, std::int32_t reg,
                                  std::span<const std::uint8_t> data);
std::optional<Frame> readRequest(int channel, Channel entry, std::int32_t reg, int count);
Frame setupRequest(int channel, std::int32_t type);
Frame probeRequest();

// Reply payload bytes a read of `count` registers brings; the values start at payload byte 5.
inline constexpr int kReadValueOffset = 5;
inline constexpr int readReplyPayload(int count) {
    return count + kReadValueOffset;
}
// The longest reply: a read of 255 registers, 260 payload bytes in a frame of 264. Its length
// byte carries the low 8 bits of the payload's size, as every byte field of a frame does, so
// replies outgrow the request's Frame::kMaxSize.
inline constexpr std::size_t kMaxReplyPayload = readReplyPayload(kMaxReadCount);
inline constexpr std::size_t kMaxReplyFrame = kMaxReplyPayload + 4;

// A write expects a 7-byte reply when its type byte has any of its low three bits set; the
// channel set-ups (type byte 0) get the acknowledgement alone.
inline constexpr bool writeExpectsReply(std::uint8_t typeByte) {
    return (typeByte & 0x07) != 0;
}

} // namespace sundial
