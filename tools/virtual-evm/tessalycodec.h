#pragma once

#include <array>
#include <cstdint>

namespace virtualevm {

// Register model of the Tessaly DAC: ten 8-bit registers, 0x10 to 0x19.
class TessalyCodec {
public:
    static constexpr uint8_t kFirstRegister = 0x10;
    static constexpr uint8_t kLastRegister = 0x19;
    static constexpr uint8_t kResetRegister = 0x10;
    static constexpr uint8_t kStatusRegister = 0x15; // zero-detect flags, read-only to the bus

    TessalyCodec() { reset(); }

    static bool isRegister(unsigned reg) { return reg >= kFirstRegister && reg <= kLastRegister; }
    static uint8_t defaultValue(uint8_t reg);

    // A register write from the bus: bit 7 clear in register 0x10 resets the chip, the status
    // register and unknown registers ignore writes.
    void busWrite(uint8_t reg, uint8_t value);
    // A register read from the bus; unknown registers read 0x00.
    uint8_t busRead(uint8_t reg) const;

    // Direct access for the test harness, without the bus rules.
    void set(uint8_t reg, uint8_t value);
    uint8_t get(uint8_t reg) const { return busRead(reg); }

    // Zero-detect inputs: bit 0 DAC L, bit 1 DAC R.
    void setZeroFlags(uint8_t flags);

    void reset();

private:
    std::array<uint8_t, kLastRegister - kFirstRegister + 1> m_registers{};
};

} // namespace virtualevm
