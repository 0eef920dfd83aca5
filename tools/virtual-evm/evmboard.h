#pragma once

#include "request.h"
#include "tessalycodec.h"

#include <array>
#include <cstdint>
#include <vector>

namespace virtualevm {

// What sits behind the serial line: the Tessaly on channel 0 (I2C, SPI or type-4 addressing)
// and the board's own 256 setting registers on channel 7. Other channels have nothing attached.
class EvmBoard {
public:
    static constexpr unsigned kCodecChannel = 0;
    static constexpr unsigned kBoardChannel = 7;
    static constexpr uint8_t kDefaultI2cAddress = 0x4C;

    TessalyCodec& codec() { return m_codec; }
    const TessalyCodec& codec() const { return m_codec; }

    uint8_t boardRegister(uint8_t reg) const { return m_boardRegisters[reg]; }
    void setBoardRegister(uint8_t reg, uint8_t value) { m_boardRegisters[reg] = value; }

    uint8_t i2cAddress() const { return m_i2cAddress; }
    void setI2cAddress(uint8_t address) { m_i2cAddress = address; }
    unsigned spiDevice() const { return m_spiDevice; }
    void setSpiDevice(unsigned device) { m_spiDevice = device & 0x03u; }
    // Whether reply headers repeat the request (command, type, register, count); without it
    // they hold constants, as firmware that repeats nothing would send.
    bool echoes() const { return m_echoes; }
    void setEchoes(bool on) { m_echoes = on; }

    // Carries out the request and returns the reply frame; empty when the PC expects only the
    // acknowledgement.
    std::vector<uint8_t> execute(const Request& request);

private:
    struct Target {
        enum class Device { Nothing, Codec, Board } device = Device::Nothing;
        unsigned firstRegister = 0;
        uint8_t absentValue = 0x00; // what a read gives when nothing answers
    };

    Target target(const Request& request) const;
    uint8_t read(const Target& target, unsigned index) const;
    void write(const Target& target, unsigned index, uint8_t value);

    TessalyCodec m_codec;
    std::array<uint8_t, 256> m_boardRegisters{};
    uint8_t m_i2cAddress = kDefaultI2cAddress;
    unsigned m_spiDevice = 0;
    bool m_echoes = true;
};

} // namespace virtualevm
