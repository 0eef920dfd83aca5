// Fuzz target for the script text: never crashes; lines hold no break and survive being written
// back with CR LF; fields survive being quoted and joined again; a write record survives being
// written back as a snapshot line with its address in one byte, also with a comment after it; a
// line commented out has no field, a line with a NUL is no record, and a bad record never
// carries a value.
#include "files/scriptparser.h"
#include "notation/hextext.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string quoted(const std::string& field) {
    std::string text = "\"";
    for (char c : field) {
        text += c;
        if (c == '"') {
            text += '"';
        }
    }
    return text + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using larkspur::ScriptRecord;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = larkspur::splitScriptLines(bytes);

    std::string rewritten;
    for (const std::string& line : lines) {
        require(line.find_first_of("\r\n") == std::string::npos);
        rewritten += line + "\r\n";
    }
    require(larkspur::splitScriptLines(rewritten) == lines);

    for (const std::string& line : lines) {
        const std::vector<std::string> fields = larkspur::splitFields(line);
        std::string joined;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            joined += (i == 0 ? "" : ",") + quoted(fields[i]);
        }
        require(larkspur::splitFields(joined) == fields);
        // Commented out, a line is no record.
        require(larkspur::splitFields(" #" + line).empty());

        const ScriptRecord record = larkspur::parseRecord(line);
        const bool hasNul = line.find('\0') != std::string::npos;
        require(!hasNul || record.kind == ScriptRecord::Kind::BadRecord);
        require(hasNul || (record.kind == ScriptRecord::Kind::Empty) == fields.empty());
        switch (record.kind) {
        case ScriptRecord::Kind::Write:
            require(record.value >= 0 && record.value <= 255);
            require(record.address >= 0 && record.address <= 0xFF);
            // As the snapshot and the history write it.
            {
                const std::string written = "0x" + larkspur::hexText(record.address, 2) + ", 0x" +
                                            larkspur::hexText(record.value, 2);
                require(larkspur::parseRecord(written) == record);
                // A comment after the record changes nothing (the line has no NUL, or it would
                // be no record).
                require(larkspur::parseRecord(written + " #" + line) == record);
                require(larkspur::parseRecord(written + "#" + line) == record);
            }
            break;
        case ScriptRecord::Kind::Pause:
            require(record.value >= 0 && record.address == 0);
            break;
        default:
            require(record.value == 0 && record.address == 0);
            require(*larkspur::recordError(record.kind) != '\0' ||
                    record.kind == ScriptRecord::Kind::Empty);
        }
    }
    return 0;
}
