// The client's side of a telnet connection with the serial port control option (RFC 854, 856,
// 2217): data bytes in and out, the options the link needs, the server's answers to the line
// settings and to purges. Pure bytes, no socket, so that every split of the stream can be tried.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sundial {

namespace telnet {
inline constexpr std::uint8_t kSe = 240;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kComPort = 44;
// Serial port control commands, client to server; the server answers with the same + 100.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerAnswer = 100;
inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kStopOne = 1;
inline constexpr std::uint8_t kDtrOn = 8;
inline constexpr std::uint8_t kPurgeReceive = 1;
} // namespace telnet

class TelnetCodec {
public:
    // Sent on connecting: binary both ways, and the serial port control option.
    static std::vector<std::uint8_t> greeting();
    // 115200 baud, 8 data bits, no parity, 1 stop bit, DTR on.
    static std::vector<std::uint8_t> lineSettings();
    // Asks the server to discard what it has received from the board and not yet sent.
    static std::vector<std::uint8_t> purgeRequest();
    // Data as it goes on the wire: 0xFF doubled.
    static void encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire);

    // Takes bytes from the wire, in any pieces. Data bytes are appended to `data`, or to `held`
    // while a purge is unacknowledged: its acknowledgement empties `held`, since what came
    // before it was read from the board before the purge. Answers owed to the server (refusals
    // of options the link does not use) go to `answers`.
    void decode(std::span<const std::uint8_t> wire, std::vector<std::uint8_t>& data,
                std::vector<std::uint8_t>& held, std::vector<std::uint8_t>& answers);

    // A purge was sent: data up to its acknowledgement belongs to no transaction.
    void purgeSent() { ++m_purgesPending; }
    int purgesPending() const { return m_purgesPending; }
    // The server has not acknowledged in time: what is held is data like any other (it may
    // hold the answer to the request that followed the purge), and so is what comes next.
    void forgetPurges() { m_purgesPending = 0; }
    int purgesAcknowledged() const { return m_purgesAcknowledged; }

    // The negotiation as far as the server has answered.
    bool binaryAccepted() const { return m_serverDoesBinary && m_serverTakesBinary; }
    bool comPortAccepted() const { return m_comPortAccepted; }
    // The server turned down something the link cannot work without.
    bool refused() const { return m_refused; }
    // Speed and framing answered (DTR's answer, like DTR itself, is not awaited); settingsAsked()
    // when they are what lineSettings() asked.
    bool settingsAnswered() const;
    bool settingsAsked() const;

private:
    void option(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& answers);
    // Whether the subnegotiation just ended acknowledged a purge.
    bool subnegotiation();

    enum class State { Data, Iac, Option, Sub, SubIac };
    State m_state = State::Data;
    std::uint8_t m_command = 0;
    std::vector<std::uint8_t> m_sub;
    int m_purgesPending = 0;
    int m_purgesAcknowledged = 0;
    bool m_serverDoesBinary = false;  // DO BINARY: the server takes our binary data
    bool m_serverTakesBinary = false; // WILL BINARY: the server sends binary data
    bool m_comPortAccepted = false;
    bool m_refused = false;
    // Options declined once, for the server's side (WILL) and ours (DO): not again, so that
    // two sides cannot loop.
    std::array<bool, 256> m_declinedTheirs{};
    std::array<bool, 256> m_declinedOurs{};
    std::optional<std::uint32_t> m_baudRate;
    std::optional<std::uint8_t> m_dataSize;
    std::optional<std::uint8_t> m_parity;
    std::optional<std::uint8_t> m_stopSize;
};

} // namespace sundial
