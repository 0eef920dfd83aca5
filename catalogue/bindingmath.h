// Read-modify-write of one bit-field in a register value, and the field's value read back.
#pragma once

#include <cstdint>

namespace larkspur {

// The register bits outside the field of `width` bits from `shift` up.
int keepMask(int shift, int width);

int checkBoxWrite(std::uint8_t current, int bit, bool checked);
int dropDownWrite(std::uint8_t current, int shift, int width, int item);
int radioWrite(std::uint8_t current, int bit, int item);

bool checkBoxState(std::uint8_t value, int bit);
int dropDownItem(std::uint8_t value, int shift, int width);
int radioItem(std::uint8_t value, int bit);

} // namespace larkspur
