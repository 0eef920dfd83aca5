#include "telnetcodec.h"

#include <algorithm>

namespace sundial {

using namespace telnet;

namespace {

constexpr std::uint32_t kBaudRate = 115200;
// Longer subnegotiations are none the link reads: their tail is dropped.
constexpr std::size_t kSubLimit = 64;

void subnegotiate(std::vector<std::uint8_t>& wire, std::uint8_t command,
                  std::initializer_list<std::uint8_t> value) {
    wire.insert(wire.end(), {kIac, kSb, kComPort, command});
    TelnetCodec::encodeData(std::vector<std::uint8_t>(value), wire);
    wire.insert(wire.end(), {kIac, kSe});
}

} // namespace

std::vector<std::uint8_t> TelnetCodec::greeting() {
    return {kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kComPort};
}

std::vector<std::uint8_t> TelnetCodec::lineSettings() {
    std::vector<std::uint8_t> wire;
    subnegotiate(wire, kSetBaudRate,
                 {static_cast<std::uint8_t>(kBaudRate >> 24),
                  static_cast<std::uint8_t>(kBaudRate >> 16),
                  static_cast<std::uint8_t>(kBaudRate >> 8), static_cast<std::uint8_t>(kBaudRate)});
    subnegotiate(wire, kSetDataSize, {8});
    subnegotiate(wire, kSetParity, {kParityNone});
    subnegotiate(wire, kSetStopSize, {kStopOne});
    subnegotiate(wire, kSetControl, {kDtrOn});
    return wire;
}

std::vector<std::uint8_t> TelnetCodec::purgeRequest() {
    std::vector<std::uint8_t> wire;
    subnegotiate(wire, kPurgeData, {kPurgeReceive});
    return wire;
}

void TelnetCodec::encodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& wire) {
    for (const std::uint8_t byte : data) {
        wire.push_back(byte);
        if (byte == kIac) {
            wire.push_back(kIac);
        }
    }
}

void TelnetCodec::decode(std::span<const std::uint8_t> wire, std::vector<std::uint8_t>& data,
                         std::vector<std::uint8_t>& held, std::vector<std::uint8_t>& answers) {
    for (const std::uint8_t byte : wire) {
        switch (m_state) {
        case State::Data:
            if (byte == kIac) {
                m_state = State::Iac;
            } else {
                (m_purgesPending == 0 ? data : held).push_back(byte);
            }
            break;
        case State::Iac:
            if (byte == kIac) {
                (m_purgesPending == 0 ? data : held).push_back(kIac);
                m_state = State::Data;
            } else if (byte >= kWill) {
                m_command = byte;
                m_state = State::Option;
            } else if (byte == kSb) {
                m_sub.clear();
                m_state = State::Sub;
            } else {
                m_state = State::Data; // NOP, go-ahead and the like carry nothing for the link
            }
            break;
        case State::Option:
            option(m_command, byte, answers);
            m_state = State::Data;
            break;
        case State::Sub:
            if (byte == kIac) {
                m_state = State::SubIac;
            } else if (m_sub.size() < kSubLimit) {
                m_sub.push_back(byte);
            }
            break;
        case State::SubIac:
            if (byte == kIac) {
                if (m_sub.size() < kSubLimit) {
                    m_sub.push_back(kIac);
                }
                m_state = State::Sub;
            } else {
                // SE ends it; anything else is a server that forgot SE: take what came.
                if (subnegotiation()) {
                    held.clear();
                }
                m_state = State::Data;
            }
            break;
        }
    }
}

void TelnetCodec::option(std::uint8_t command, std::uint8_t option,
                         std::vector<std::uint8_t>& answers) {
    if (option == kBinary) {
        // Asked for in the greeting; a request from the server is agreed to as well.
        if (command == kDo) {
            m_serverDoesBinary = true;
        } else if (command == kWill) {
            m_serverTakesBinary = true;
        } else {
            m_refused = true; // without binary, the server would rewrite CR and NUL
        }
        return;
    }
    if (option == kComPort) {
        if (command == kDo) {
            m_comPortAccepted = true;
        } else if (command == kDont) {
            m_refused = true;
        } else if (command == kWill && !m_declinedTheirs[option]) {
            // The server's own side of the option is the client's business only; decline it.
            m_declinedTheirs[option] = true;
            answers.insert(answers.end(), {kIac, kDont, option});
        }
        return;
    }
    // Anything else is declined, once per option and side. WONT and DONT need no answer: the
    // option is off already.
    if (command == kWill && !m_declinedTheirs[option]) {
        m_declinedTheirs[option] = true;
        answers.insert(answers.end(), {kIac, kDont, option});
    } else if (command == kDo && !m_declinedOurs[option]) {
        m_declinedOurs[option] = true;
        answers.insert(answers.end(), {kIac, kWont, option});
    }
}

bool TelnetCodec::subnegotiation() {
    if (m_sub.size() < 2 || m_sub[0] != kComPort) {
        return false;
    }
    const std::uint8_t command = m_sub[1];
    const std::span<const std::uint8_t> value(m_sub.data() + 2, m_sub.size() - 2);
    switch (command) {
    case kServerAnswer + kSetBaudRate:
        if (value.size() == 4) {
            m_baudRate = static_cast<std::uint32_t>(value[0]) << 24 |
                         static_cast<std::uint32_t>(value[1]) << 16 |
                         static_cast<std::uint32_t>(value[2]) << 8 | value[3];
        }
        break;
    case kServerAnswer + kSetDataSize:
        if (!value.empty()) {
            m_dataSize = value[0];
        }
        break;
    case kServerAnswer + kSetParity:
        if (!value.empty()) {
            m_parity = value[0];
        }
        break;
    case kServerAnswer + kSetStopSize:
        if (!value.empty()) {
            m_stopSize = value[0];
        }
        break;
    case kServerAnswer + kPurgeData:
        ++m_purgesAcknowledged;
        m_purgesPending = std::max(0, m_purgesPending - 1);
        return true;
    default:
        break; // line and modem state notices, flow control: nothing the link acts on
    }
    return false;
}

bool TelnetCodec::settingsAnswered() const {
    return m_baudRate && m_dataSize && m_parity && m_stopSize;
}

bool TelnetCodec::settingsAsked() const {
    // A server answering 0 to a setting only reports the current value (RFC 2217 allows it
    // for the query form): it is not what was asked.
    return settingsAnswered() && *m_baudRate == kBaudRate && *m_dataSize == 8 &&
           *m_parity == kParityNone && *m_stopSize == kStopOne;
}

} // namespace sundial
