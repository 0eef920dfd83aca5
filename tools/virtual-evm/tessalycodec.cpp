#include "tessalycodec.h"

namespace virtualevm {

uint8_t TessalyCodec::defaultValue(uint8_t reg) {
    switch (reg) {
    case 0x10:
        return 0xC0;
    case 0x18:
    case 0x19:
        return 0xFF;
    default:
        return 0x00;
    }
}

void TessalyCodec::reset() {
    for (unsigned reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        m_registers[reg - kFirstRegister] = defaultValue(static_cast<uint8_t>(reg));
    }
}

void TessalyCodec::busWrite(uint8_t reg, uint8_t value) {
    if (!isRegister(reg) || reg == kStatusRegister) {
        return;
    }
    if (reg == kResetRegister && (value & 0x80) == 0) {
        reset();
        return;
    }
    m_registers[reg - kFirstRegister] = value;
}

uint8_t TessalyCodec::busRead(uint8_t reg) const {
    return isRegister(reg) ? m_registers[reg - kFirstRegister] : uint8_t{0x00};
}

void TessalyCodec::set(uint8_t reg, uint8_t value) {
    if (isRegister(reg)) {
        m_registers[reg - kFirstRegister] = value;
    }
}

void TessalyCodec::setZeroFlags(uint8_t flags) {
    uint8_t& status = m_registers[kStatusRegister - kFirstRegister];
    status = static_cast<uint8_t>((status & ~0x03) | (flags & 0x03));
}

} // namespace virtualevm
