// The codec's register map as the program uses it: the registers it shadows, the command bits
// of register 0x10, the zero-detect flags and the attenuation mode.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace larkspur {

// The codec's registers 0x10 to 0x19.
inline constexpr int kFirstRegister = 0x10;
inline constexpr int kRegisterCount = 10;
inline constexpr int kLastRegister = kFirstRegister + kRegisterCount - 1;
// The values of registers 0x10 to 0x19, in order: an image of the codec.
using RegisterImage = std::array<std::uint8_t, kRegisterCount>;
// What they hold after a master reset, as the codec comes out of it.
inline constexpr RegisterImage kDefaultRegisters = {0xC0, 0x00, 0x00, 0x00, 0x00,
                                                    0x00, 0x00, 0x00, 0xFF, 0xFF};
// Register 0x10 carries two commands in its top bits, each given by writing its bit as 0; both
// read back as 1.
inline constexpr int kCommandRegister = 0x10;
inline constexpr std::uint8_t kMasterResetBit = 0x80; // MRST: registers to their defaults
inline constexpr std::uint8_t kSyncResetBit = 0x40;   // SRST: re-sync
inline constexpr std::uint8_t kCommandBits = kMasterResetBit | kSyncResetBit;
// The zero-detect flags, bits 0 (ZERO1) and 1 (ZERO2); read-only.
inline constexpr int kFlagsRegister = 0x15;
inline constexpr std::array<std::uint8_t, 2> kZeroFlagBits = {0x01, 0x02};
// Whether zero flag `flag` (0: ZERO1, 1: ZERO2) is set in a value of the flags register.
inline constexpr bool zeroFlagSet(std::uint8_t flags, int flag) {
    return (flags & kZeroFlagBits.at(static_cast<std::size_t>(flag))) != 0;
}
// Bit 7: attenuation in the wide range (1 dB steps) rather than fine (0.5 dB).
inline constexpr int kAttenuationModeRegister = 0x16;
inline constexpr std::uint8_t kWideRangeBit = 0x80;
// Whether a value of the attenuation mode register selects the wide range.
inline constexpr bool wideRange(std::uint8_t modeRegister) {
    return (modeRegister & kWideRangeBit) != 0;
}

} // namespace larkspur
