// What differs between two sets of the codec's ten registers, field by field as the controls
// show them, then the bits that no field covers.
#pragma once

#include "controlcatalogue.h"
#include "device/codecregisters.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace larkspur {

struct FieldChange {
    const BoundControl* field = nullptr;
    int before = 0; // the field's item (fieldItem) in each set
    int after = 0;
    std::string beforeText; // as the control shows it (fieldText), each in its set's mode
    std::string afterText;
};

struct BitsChange {
    int reg = 0;
    std::uint8_t mask = 0; // the differing bits that no field covers
    std::uint8_t before = 0;
    std::uint8_t after = 0; // the register's bits under `mask`
};

struct RegisterDiff {
    std::vector<FieldChange> fields; // in the catalogue's order
    std::vector<BitsChange> bits;    // in register order
    bool empty() const { return fields.empty() && bits.empty(); }
};

RegisterDiff diffRegisters(const RegisterImage& before, const RegisterImage& after);

// The differences as people read them: "DAC L (tkDAC1)  -12.5 dB → -20.0 dB" per field, then
// "0x15 bits 0x01  0x00 → 0x01" per register (UTF-8).
std::vector<std::string> diffLines(const RegisterDiff& diff);

// The differing bits of each register, fields and others alike: what the register map marks.
std::array<std::uint8_t, kRegisterCount> differingBits(const RegisterImage& before,
                                                       const RegisterImage& after);

// The bits of `reg` that some field covers.
std::uint8_t fieldBits(int reg);

} // namespace larkspur
