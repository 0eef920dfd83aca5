#include "boardlink.h"

#include "portname.h"

#include <algorithm>

namespace sundial {

int BoardLink::init(int port, const Channel* channels) {
    if (channels == nullptr) {
        return 0;
    }
    std::copy(channels, channels + kChannels, m_channels.begin());
    if (port == -1) {
        return -1;
    }
    // A port still held from an earlier _init would stay locked and unreachable; let it go.
    dropPort();
    if (port == 0) {
        for (int n = kFirstPort; n <= kLastPort && !isOpen(); ++n) {
            if (openAndProbe(n)) {
                port = n;
            }
        }
    } else if (port < kFirstPort || port > kLastPort || !openAndProbe(port)) {
        port = 0;
    }
    if (!isOpen()) {
        return 0;
    }
    for (int k = 0; k < kChannels; ++k) {
        writeTransaction(setupRequest(k, m_channels[static_cast<std::size_t>(k)].type));
    }
    return port;
}

int BoardLink::close() {
    if (!isOpen()) {
        return 0;
    }
    const int result = m_port->close();
    delete m_port;
    m_port = nullptr;
    return result;
}

int BoardLink::readData(int channel, std::int32_t reg, std::uint8_t* buffer, int count) {
    if (!isOpen() || buffer == nullptr || channel < 0 || channel >= kChannels) {
        return 1;
    }
    const auto request =
        readRequest(channel, m_channels[static_cast<std::size_t>(channel)], reg, count);
    if (!request) {
        return 1;
    }
    std::array<std::uint8_t, kMaxPayload> payload{};
    const int code =
        exchange(*request, {payload.data(), static_cast<std::size_t>(readReplyPayload(count))});
    if (code == 0) {
        std::copy_n(payload.begin() + kReadValueOffset, count, buffer);
    }
    return code;
}

int BoardLink::writeData(int channel, std::int32_t reg, const std::uint8_t* data, int count) {
    if (!isOpen() || data == nullptr || channel < 0 || channel >= kChannels || count < 1) {
        return 1;
    }
    const auto request = writeRequest(channel, m_channels[static_cast<std::size_t>(channel)], reg,
                                      {data, static_cast<std::size_t>(count)});
    if (!request) {
        return 1;
    }
    return writeTransaction(*request);
}

bool BoardLink::openAndProbe(int number) {
    std::unique_ptr<SerialPort> port = m_opener(number);
    if (!port) {
        return false;
    }
    m_port = port.release();
    std::array<std::uint8_t, kShortReplyPayload> payload{};
    if (exchange(probeRequest(), payload) != 0) {
        dropPort();
        return false;
    }
    return true;
}

int BoardLink::exchange(const Frame& request, std::span<std::uint8_t> payload) {
    if (!m_port->write(request.bytes())) {
        return failed(1);
    }
    std::array<std::uint8_t, 2> ack{};
    if (!receiveExactly(ack)) {
        return failed(2);
    }
    if (ack != kAck) {
        return failed(3);
    }
    // Judged by length only: start byte, length byte and checksum of the reply are not looked at.
    std::array<std::uint8_t, Frame::kMaxSize> reply{};
    if (!receiveExactly({reply.data(), payload.size() + 4})) {
        return failed(4);
    }
    if (!m_port->write(kAck)) {
        return failed(5);
    }
    std::copy_n(reply.begin() + 2, payload.size(), payload.begin());
    return 0;
}

int BoardLink::writeTransaction(const Frame& request) {
    if (!m_port->write(request.bytes())) {
        return failed(1);
    }
    std::array<std::uint8_t, 2> ack{}; // any two bytes will do
    if (!receiveExactly(ack)) {
        return failed(2);
    }
    if (writeExpectsReply(request.typeByte())) {
        std::array<std::uint8_t, kShortReplyPayload + 4> reply{};
        if (!receiveExactly(reply)) {
            return failed(3);
        }
        if (!m_port->write(kAck)) {
            return failed(4);
        }
    }
    return 0;
}

bool BoardLink::receiveExactly(std::span<std::uint8_t> buffer) {
    std::size_t got = 0;
    for (int call = 0; call < kReceiveCalls && got < buffer.size(); ++call) {
        const int n = m_port->read(buffer.subspan(got));
        if (n < 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return got == buffer.size();
}

int BoardLink::failed(int code) {
    // Late bytes of a failed exchange must not meet the next one.
    m_port->purgeReceive();
    return code;
}

void BoardLink::dropPort() {
    if (isOpen()) {
        m_port->close();
        delete m_port;
        m_port = nullptr;
    }
}

} // namespace sundial
