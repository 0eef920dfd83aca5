// The board link: port search, exchanges and write transactions over one serial port.
#pragma once

#include "frame.h"
#include "serialport.h"

#include <array>
#include <cstdint>
#include <span>

namespace sundial {

class BoardLink {
public:
    static constexpr int kReceiveCalls = 3;

    // Constant-initialised, with no destructor work: the library's single instance must not run
    // code when it is loaded or unloaded.
    explicit constexpr BoardLink(PortOpener opener) : m_opener(opener) {}
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // The entries of the library, with the contracts of its public header.
    // `channels` holds kChannels entries, or is null.
    int init(int port, const Channel* channels);
    int close();
    int readData(int channel, std::int32_t reg, std::uint8_t* buffer, int count);
    int writeData(int channel, std::int32_t reg, const std::uint8_t* data, int count);

    bool isOpen() const { return m_port != nullptr; }
    // Read replies judged by their length alone (SUNDIAL_LENIENT_REPLIES=1 at the last init).
    bool lenientReplies() const { return m_lenientReplies; }
    const std::array<Channel, kChannels>& channels() const { return m_channels; }

private:
    enum class Reply { Unchecked, Checked };

    bool openAndProbe(int number);
    // Exchange: request, acknowledgement 1F 00, reply of `payload.size()` payload bytes, closing
    // acknowledgement. The reply's payload lands in `payload`. A checked reply must also be a
    // well-formed frame of that size, or it counts as not arrived.
    int exchange(const Frame& request, std::span<std::uint8_t> payload, Reply judging);
    int writeTransaction(const Frame& request);
    bool send(const Frame& request);
    bool receiveExactly(std::span<std::uint8_t> buffer);
    int failed(int code);
    void dropPort();

    PortOpener m_opener;
    // Owned; a raw pointer keeps the instance trivially destructible (see the constructor).
    SerialPort* m_port = nullptr;
    std::array<Channel, kChannels> m_channels{};
    bool m_lenientReplies = false;
};

} // namespace sundial
