#include "frame.h"

#include <algorithm>

namespace sundial {

namespace {

constexpr std::uint8_t low8(std::int64_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// Command bytes: the channel's number in the low nibble of reads and writes; set-up k is 0x50 + k.
constexpr int kChannelMask = 0x0F;
constexpr int kReadCommand = 0x10;
constexpr int kSetupCommand = 0x50;
constexpr std::uint8_t kProbeCommand = 0x8F;

bool validChannel(int channel) {
    return channel >= 0 && channel < kChannels;
}

} // namespace

std::optional<Frame> Frame::fromPayload(std::span<const std::uint8_t> payload) {
    if (payload.size() > kMaxPayload) {
        return std::nullopt;
    }
    Frame frame;
    frame.m_bytes[0] = kStartByte;
    frame.m_bytes[1] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), frame.m_bytes.begin() + 2);
    const std::size_t summed = payload.size() + 2;
    const std::uint16_t sum = checksum({frame.m_bytes.data(), summed});
    frame.m_bytes[summed] = static_cast<std::uint8_t>(sum >> 8);
    frame.m_bytes[summed + 1] = static_cast<std::uint8_t>(sum & 0xFF);
    frame.m_size = summed + 2;
    return frame;
}

std::uint16_t checksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

bool isWellFormedFrame(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes.size() > kMaxReplyFrame || bytes[0] != kStartByte ||
        bytes[1] != ((bytes.size() - 4) & 0xFF)) {
        return false;
    }
    const std::size_t summed = bytes.size() - 2;
    const std::uint16_t sum = checksum(bytes.first(summed));
    return bytes[summed] == (sum >> 8) && bytes[summed + 1] == (sum & 0xFF);
}

bool isAddressableType(std::int32_t type) {
    const std::uint8_t told = channelType(type);
    return told >= SUNDIAL_TYPE_I2C && told <= SUNDIAL_TYPE_REG2;
}

int maxWriteCount(std::int32_t type) {
    if (!isAddressableType(type)) {
        return 0;
    }
    // Type 3 carries one more addressing byte than the others.
    return static_cast<int>(kMaxPayload) - (channelType(type) == SUNDIAL_TYPE_SPI ? 5 : 4);
}

std::optional<Frame> writeRequest(int channel, Channel entry, std::int32_t reg,
                                  std::span<const std::uint8_t> data) {
    const auto count = static_cast<int>(data.size());
    if (!validChannel(channel) || count < 1 || count > maxWriteCount(entry.type)) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kMaxPayload> payload{};
    std::size_t n = 0;
    payload[n++] = low8(channel & kChannelMask);
    payload[n++] = channelType(entry.type);
    switch (channelType(entry.type)) {
    case SUNDIAL_TYPE_I2C:
    case SUNDIAL_TYPE_I2C2:
        payload[n++] = low8(entry.address);
        payload[n++] = low8(reg);
        break;
    case SUNDIAL_TYPE_SPI:
        payload[n++] = low8(reg);
        payload[n++] = low8(std::int64_t{reg} + count - 1);
        payload[n++] = low8(entry.address);
        break;
    default: // SUNDIAL_TYPE_REG2
        payload[n++] = low8(reg);
        payload[n++] = low8(reg);
        break;
    }
    std::copy(data.begin(), data.end(), payload.begin() + static_cast<std::ptrdiff_t>(n));
    n += data.size();
    return Frame::fromPayload({payload.data(), n});
}

std::optional<Frame> readRequest(int channel, Channel entry, std::int32_t reg, int count) {
    if (!validChannel(channel) || !isAddressableType(entry.type) || count < 1 ||
        count > kMaxReadCount) {
        return std::nullopt;
    }
    const std::uint8_t command = low8(kReadCommand | (channel & kChannelMask));
    const std::uint8_t type = channelType(entry.type);
    const std::uint8_t countByte = low8(count);
    std::array<std::uint8_t, 6> payload{};
    switch (type) {
    case SUNDIAL_TYPE_I2C:
    case SUNDIAL_TYPE_I2C2:
        payload = {command, type, low8(entry.address), low8(reg), countByte, 0x00};
        break;
    case SUNDIAL_TYPE_SPI:
        payload = {command,          type,
                   low8(reg | 0x80), low8((std::int64_t{reg} + count - 1) | 0x80),
                   countByte,        low8(entry.address)};
        break;
    default: // SUNDIAL_TYPE_REG2
        payload = {command, type, low8(reg), low8(reg), countByte, 0x00};
        break;
    }
    return Frame::fromPayload(payload);
}

Frame setupRequest(int channel, std::int32_t type) {
    const std::array<std::uint8_t, 3> payload = {low8(kSetupCommand + channel), 0x00,
                                                 channelType(type)};
    return *Frame::fromPayload(payload);
}

Frame probeRequest() {
    const std::array<std::uint8_t, 3> payload = {kProbeCommand, 0x00, 0xFF};
    return *Frame::fromPayload(payload);
}

} // namespace sundial
