#include "registerexport.h"

#include "fieldvalues.h"
#include "notation/hextext.h"
#include "notation/jsonwriter.h"

#include <cctype>
#include <set>

namespace larkspur {

namespace {

constexpr const char* kPrefix = "TESSALY_";

std::string hexByte(int value) {
    return "0x" + hexText(value, 2);
}

std::string upper(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// An item's text as a name: letters and digits in upper case, anything else one '_'.
std::string itemName(std::string_view item) {
    std::string name;
    for (const char c : item) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name.empty() ? "ITEM" : name;
}

std::uint8_t valueIn(const RegisterImage& image, int reg) {
    return image.at(static_cast<std::size_t>(reg - kFirstRegister));
}

unsigned fieldMask(const BoundControl& row) {
    return ((1U << row.width) - 1U) << row.shift;
}

// "DAC Serial Data Format = 24bit IIS, DAC Sampling mode = Auto": the fields of `reg` in the
// register's value. Comment text: no "*/" can come from the catalogue's captions and items.
std::string fieldsSet(const RegisterImage& image, int reg) {
    const bool wide = wideRange(valueIn(image, kAttenuationModeRegister));
    std::string text;
    for (const BoundControl& row : controlCatalogue()) {
        if (row.reg != reg) {
            continue;
        }
        std::string shown = fieldText(row, valueIn(image, reg), wide);
        if (row.kind == ControlKind::Track) {
            shown += " dB";
        }
        text += (text.empty() ? "" : ", ") + std::string(row.caption) + " = " + shown;
    }
    return text.empty() ? "no field" : text;
}

} // namespace

std::string exportName(const BoundControl& row) {
    std::size_t start = 0;
    while (start < row.name.size() && std::islower(static_cast<unsigned char>(row.name[start]))) {
        ++start;
    }
    const std::string name = upper(row.name.substr(start));
    return row.kind == ControlKind::Track ? "ATT_" + name : name;
}

namespace {

// The header around `body`: its comment and its include guard.
std::string guarded(const std::string& body) {
    return "/* The Tessaly codec's registers and fields, from Larkspur's field description. */\n"
           "#ifndef TESSALY_H\n#define TESSALY_H\n\n" +
           body + "\n#endif /* TESSALY_H */\n";
}

// Registers, fields and items, without the guard.
std::string definitions() {
    std::string text;
    text += "#define TESSALY_FIRST_REGISTER " + hexByte(kFirstRegister) + "\n";
    text += "#define TESSALY_REGISTER_COUNT " + std::to_string(kRegisterCount) + "\n";
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        text += "#define TESSALY_REG_" + hexText(reg, 2) + "H " + hexByte(reg) + "\n";
    }
    text += "\n/* A field's value in place: TESSALY_FIELD(DACFMT, TESSALY_DACFMT_24BIT_IIS). */\n";
    text += "#define TESSALY_FIELD(name, value) \\\n"
            "    ((unsigned char)(((value) << TESSALY_##name##_SHIFT) & TESSALY_##name##_MASK))\n";
    for (const BoundControl& row : controlCatalogue()) {
        const std::string name = kPrefix + exportName(row);
        text += "\n/* " + std::string(row.caption) + " (" + std::string(row.name) + "), " +
                std::string(row.tooltip) + (row.enabled ? "" : ", read-only") + " */\n";
        text += "#define " + name + "_REG " + hexByte(row.reg) + "\n";
        text += "#define " + name + "_SHIFT " + std::to_string(row.shift) + "\n";
        text += "#define " + name + "_MASK " + hexByte(static_cast<int>(fieldMask(row))) + "\n";
        std::set<std::string> taken;
        for (std::size_t i = 0; i < row.items.size(); ++i) {
            std::string item = itemName(row.items[i]);
            // Two items alike as names keep apart by their number.
            if (!taken.insert(item).second) {
                item += "_" + std::to_string(i);
                taken.insert(item);
            }
            text += "#define " + name + "_" + item + " " + std::to_string(i) + " /* " +
                    std::string(row.items[i]) + " */\n";
        }
    }
    return text;
}

} // namespace

std::string exportDefinitions() {
    return guarded(definitions());
}

std::string exportC(const RegisterImage& image) {
    // The table inside the guard: a second inclusion must not define it twice.
    std::string text = definitions();
    text += "\n/* The setup, one write per register in order. */\n";
    text += "struct tessaly_reg_write {\n    unsigned char reg;\n    unsigned char value;\n};\n\n";
    text += "static const struct tessaly_reg_write tessaly_init[TESSALY_REGISTER_COUNT] = {\n";
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        text += "    {" + hexByte(reg) + ", " + hexByte(valueIn(image, reg)) + "}," + " /* " +
                fieldsSet(image, reg) + " */\n";
    }
    text += "};\n";
    return guarded(text);
}

std::string exportLinux(const RegisterImage& image) {
    std::string text = "/* The Tessaly codec's setup for its regmap, from Larkspur. */\n";
    text += "static const struct reg_sequence tessaly_init_seq[] = {\n";
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        // No delay after a write (delay_us 0).
        text += "\t{ " + hexByte(reg) + ", " + hexByte(valueIn(image, reg)) + ", 0 }, /* " +
                fieldsSet(image, reg) + " */\n";
    }
    text += "};\n\nstatic const struct reg_default tessaly_reg_defaults[] = {\n";
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        text += "\t{ " + hexByte(reg) + ", " + hexByte(valueIn(kDefaultRegisters, reg)) + " },\n";
    }
    text += "};\n";
    return text;
}

std::string exportJson(const RegisterImage& image) {
    const bool wide = wideRange(valueIn(image, kAttenuationModeRegister));
    JsonWriter json;
    json.beginObject().key("registers").beginArray();
    for (int reg = kFirstRegister; reg <= kLastRegister; ++reg) {
        json.beginObject().key("address").value(static_cast<long long>(reg));
        json.key("value").value(static_cast<long long>(valueIn(image, reg))).endObject();
    }
    json.endArray().key("fields").beginArray();
    for (const BoundControl& row : controlCatalogue()) {
        const std::uint8_t value = valueIn(image, row.reg);
        json.beginObject().key("field").value(row.name).key("name").value(exportName(row));
        json.key("caption").value(row.caption);
        json.key("register").value(static_cast<long long>(row.reg));
        json.key("shift").value(static_cast<long long>(row.shift));
        json.key("width").value(static_cast<long long>(row.width));
        json.key("value").value(static_cast<long long>(fieldItem(row, value)));
        json.key("text").value(fieldText(row, value, wide)).endObject();
    }
    json.endArray().endObject();
    return json.text() + "\n";
}

} // namespace larkspur
