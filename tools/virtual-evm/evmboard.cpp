#include "evmboard.h"

#include "protocol.h"

namespace virtualevm {

EvmBoard::Target EvmBoard::target(const Request& request) const {
    Target result;
    if (request.channel == kCodecChannel) {
        switch (request.type) {
        case 1:
        case 2:
            // A wrong address is NACKed on the bus; the read shifts in an idle (high) line.
            result.firstRegister = request.regField;
            if (request.address == m_i2cAddress) {
                result.device = Target::Device::Codec;
            } else {
                result.absentValue = 0xFF;
            }
            break;
        case 3:
            // Bits 6 and 5 select the SPI device, bit 7 marks a read.
            result.firstRegister = request.regField & 0x1Fu;
            if (((request.regField >> 5) & 0x03u) == m_spiDevice) {
                result.device = Target::Device::Codec;
            }
            break;
        case 4:
            result.firstRegister = request.regField & 0x1Fu;
            result.device = Target::Device::Codec;
            break;
        default:
            break;
        }
    } else if (request.channel == kBoardChannel && request.type >= 1 && request.type <= 4) {
        // Type 3 reads set bit 7 of the register field, so type 3 reaches registers 0 to 127.
        result.firstRegister = request.type == 3 ? request.regField & 0x7Fu : request.regField;
        result.device = Target::Device::Board;
    }
    return result;
}

uint8_t EvmBoard::read(const Target& target, unsigned index) const {
    const unsigned reg = target.firstRegister + index;
    switch (target.device) {
    case Target::Device::Codec:
        return TessalyCodec::isRegister(reg) ? m_codec.busRead(static_cast<uint8_t>(reg))
                                             : uint8_t{0x00};
    case Target::Device::Board:
        return m_boardRegisters[reg & 0xFFu];
    case Target::Device::Nothing:
        break;
    }
    return target.absentValue;
}

void EvmBoard::write(const Target& target, unsigned index, uint8_t value) {
    const unsigned reg = target.firstRegister + index;
    switch (target.device) {
    case Target::Device::Codec:
        if (TessalyCodec::isRegister(reg)) {
            m_codec.busWrite(static_cast<uint8_t>(reg), value);
        }
        break;
    case Target::Device::Board:
        m_boardRegisters[reg & 0xFFu] = value;
        break;
    case Target::Device::Nothing:
        break;
    }
}

std::vector<uint8_t> EvmBoard::execute(const Request& request) {
    switch (request.kind) {
    case Request::Kind::Probe: {
        const uint8_t payload[] = {m_echoes ? kProbeCommand : uint8_t{0x5A}, 0x00, 0x00};
        return buildFrame(payload);
    }
    case Request::Kind::Read: {
        const Target from = target(request);
        std::vector<uint8_t> payload{request.command, request.type, request.regField,
                                     static_cast<uint8_t>(request.count), 0x00};
        if (!m_echoes) {
            payload = {0x5A, 0x00, 0x00, 0x00, 0x00};
        }
        for (unsigned i = 0; i < request.count; ++i) {
            payload.push_back(read(from, i));
        }
        return buildFrame(payload);
    }
    case Request::Kind::Write: {
        const Target to = target(request);
        for (unsigned i = 0; i < request.data.size(); ++i) {
            write(to, i, request.data[i]);
        }
        break;
    }
    case Request::Kind::Setup:
    case Request::Kind::Unknown:
        break;
    }
    if (!request.expectsReply()) {
        return {};
    }
    const uint8_t echoed[] = {request.command, request.type, 0x00};
    const uint8_t constant[] = {0x5A, 0x00, 0x00};
    return buildFrame(m_echoes ? echoed : constant);
}

} // namespace virtualevm
