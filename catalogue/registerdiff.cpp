#include "registerdiff.h"

#include "fieldvalues.h"
#include "notation/hextext.h"

namespace larkspur {

namespace {

std::uint8_t valueOf(const RegisterImage& values, int reg) {
    return values.at(static_cast<std::size_t>(reg - kFirstRegister));
}

bool wideIn(const RegisterImage& values) {
    return wideRange(valueOf(values, kAttenuationModeRegister));
}

} // namespace

std::vector<std::string> diffLines(const RegisterDiff& diff) {
    constexpr const char* kArrow = " \u2192 ";
    std::vector<std::string> lines;
    for (const FieldChange& change : diff.fields) {
        const std::string unit = change.field->kind == ControlKind::Track ? " dB" : "";
        lines.push_back(std::string(change.field->caption) + " (" +
                        std::string(change.field->name) + ")  " + change.beforeText + unit +
                        kArrow + change.afterText + unit);
    }
    for (const BitsChange& change : diff.bits) {
        lines.push_back("0x" + hexText(change.reg, 2) + " bits 0x" + hexText(change.mask, 2) +
                        "  0x" + hexText(change.before, 2) + kArrow + "0x" +
                        hexText(change.after, 2));
    }
    return lines;
}

std::array<std::uint8_t, kRegisterCount> differingBits(const RegisterImage& before,
                                                       const RegisterImage& after) {
    std::array<std::uint8_t, kRegisterCount> bits{};
    for (std::size_t i = 0; i < bits.size(); ++i) {
        bits[i] = static_cast<std::uint8_t>(before[i] ^ after[i]);
    }
    return bits;
}

std::uint8_t fieldBits(int reg) {
    unsigned bits = 0;
    for (const BoundControl& row : controlCatalogue()) {
        if (row.reg == reg) {
            bits |= ((1U << row.width) - 1U) << row.shift;
        }
    }
    return static_cast<std::uint8_t>(bits & 0xFFU);
}

RegisterDiff diffRegisters(const RegisterImage& before, const RegisterImage& after) {
    RegisterDiff diff;
    for (const BoundControl& row : controlCatalogue()) {
        const std::uint8_t was = valueOf(before, row.reg);
        const std::uint8_t is = valueOf(after, row.reg);
        const int itemBefore = fieldItem(row, was);
        const int itemAfter = fieldItem(row, is);
        if (itemBefore != itemAfter) {
            diff.fields.push_back({&row, itemBefore, itemAfter, fieldText(row, was, wideIn(before)),
                                   fieldText(row, is, wideIn(after))});
        }
    }
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        const auto outside = static_cast<std::uint8_t>(~fieldBits(reg));
        const std::uint8_t was = valueOf(before, reg);
        const std::uint8_t is = valueOf(after, reg);
        const auto mask = static_cast<std::uint8_t>((was ^ is) & outside);
        if (mask != 0) {
            diff.bits.push_back({reg, mask, static_cast<std::uint8_t>(was & mask),
                                 static_cast<std::uint8_t>(is & mask)});
        }
    }
    return diff;
}

} // namespace larkspur
