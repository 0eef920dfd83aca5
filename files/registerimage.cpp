#include "registerimage.h"

#include "filebytes.h"
#include "filetexts.h"
#include "scriptparser.h"

namespace larkspur {

namespace {

// Bits 6 and 5 carry the SPI device in a script's addresses.
constexpr int kDeviceBits = 0x60;

} // namespace

ImageOutcome replayIntoImage(std::string_view bytes) {
    RegisterImage values = kDefaultRegisters;
    const std::vector<std::string> lines = splitScriptLines(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ScriptRecord record = parseRecord(lines[i]);
        switch (record.kind) {
        case ScriptRecord::Kind::Empty:
        case ScriptRecord::Kind::Pause:
            continue;
        case ScriptRecord::Kind::Write:
            break;
        default:
            return {std::nullopt, static_cast<int>(i + 1), recordError(record.kind)};
        }
        const int reg = record.address & ~kDeviceBits;
        if (reg < kFirstRegister || reg > kLastRegister) {
            continue;
        }
        auto value = static_cast<std::uint8_t>(record.value);
        if (reg == kCommandRegister) {
            if ((value & kMasterResetBit) == 0) {
                values = kDefaultRegisters;
                continue;
            }
            value |= kCommandBits;
        }
        values[static_cast<std::size_t>(reg - kFirstRegister)] = value;
    }
    return {values, 0, {}};
}

ImageOutcome replayFileIntoImage(const std::string& path) {
    if (!pathExists(path)) {
        return {std::nullopt, 0, text::kScriptNotFound};
    }
    std::string bytes;
    if (const auto reason = readFileBytes(path, bytes)) {
        return {std::nullopt, 0,
                std::string(text::kCannotReadFile) + " \"" + path + "\". " + *reason + "."};
    }
    return replayIntoImage(bytes);
}

} // namespace larkspur
