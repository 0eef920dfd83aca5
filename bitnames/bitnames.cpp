#include "bitnames.h"

#include <array>
#include <cstdio>

namespace larkspur {

namespace {

// Most significant bit first, one row per register 0x10 to 0x19.
constexpr std::array<std::array<std::string_view, kBitsPerRegister>, kMapRows> kBitNames{{
    {"MRST", "SRST", "AMUTE3", "AMUTE2", "AMUTE1", "AMUTE0", "SRDA1", "SRDA0"},
    {"PSMDA", "-", "-", "-", "-", "FMTDA2", "FMTDA1", "FMTDA0"},
    {"-", "-", "-", "OPEDA", "-", "-", "-", "FLT"},
    {"-", "-", "-", "-", "-", "-", "REVDA2", "REVDA1"},
    {"-", "-", "-", "-", "-", "-", "MUTDA2", "MUTDA1"},
    {"-", "-", "-", "-", "-", "-", "ZERO2", "ZERO1"},
    {"DAMS", "-", "DEMP1", "DEMP0", "MZSEL", "-", "AZRO", "ZREV"},
    {"-", "-", "-", "-", "-", "-", "-", "-"},
    {"ATDA17", "ATDA16", "ATDA15", "ATDA14", "ATDA13", "ATDA12", "ATDA11", "ATDA10"},
    {"ATDA27", "ATDA26", "ATDA25", "ATDA24", "ATDA23", "ATDA22", "ATDA21", "ATDA20"},
}};

} // namespace

std::string_view bitName(int row, int bit) {
    if (row < 0 || row >= kMapRows || bit < 0 || bit >= kBitsPerRegister)
        return {};
    return kBitNames[static_cast<std::size_t>(row)]
                    [static_cast<std::size_t>(kBitsPerRegister - 1 - bit)];
}

std::string rowLabelText(int addressValue) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(addressValue));
    return text;
}

} // namespace larkspur
