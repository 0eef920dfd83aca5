// The text of a register script: bytes split into lines, lines into fields, fields into records.
// Nothing here touches a file or the board, so every rule can be tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace larkspur {

// The lines of a script file taken byte by byte, without decoding: a line ends at CR LF, a lone
// LF or a lone CR; a break at the very end adds no further line. A NUL byte is a byte of its
// line like any other (and makes that line no record), so that it cannot hide the lines after it.
std::vector<std::string> splitScriptLines(std::string_view bytes);

// The fields of one line, at most `maxFields` of them: the rest of the line is not looked at.
// Blanks (codes 1 to 32) and commas separate fields; a field that starts with a double quote runs
// to the closing quote, with two quotes inside standing for one; a comma that ends the line adds
// an empty field. A '#' outside quotes starts a comment, which runs to the end of the line: a line
// whose first non-blank character is '#' has no field, and a '#' after a field ends the record.
std::vector<std::string> splitFields(std::string_view line,
                                     std::size_t maxFields = static_cast<std::size_t>(-1));

struct ScriptRecord {
    enum class Kind {
        Empty,     // no field at all: a blank line or a comment, skipped
        Pause,     // "sleep", milliseconds
        Write,     // address 0 to 0xFF, value
        BadPause,  // "Invalid sleep time."
        BadRecord, // "Invalid record was found on the Register setting file."
        BadValue,  // "Invalid register data!"
    };
    Kind kind = Kind::Empty;
    std::int32_t address = 0; // Write: sent to the board as it stands, 0 to 0xFF
    std::int32_t value = 0;   // Write: 0 to 255; Pause: milliseconds, 0 or more
    bool operator==(const ScriptRecord&) const = default;
};

// What one line asks for. A negative pause is refused like one that is no number: the wait is a
// count of milliseconds and must not run without end. A write's address travels in one byte, so
// one outside 0 to 0xFF names no register (0x110 would reach 0x10) and the line is no record;
// so is a line with a NUL byte in it.
ScriptRecord parseRecord(std::string_view line);

// The message a bad record is reported with; empty for the good kinds.
const char* recordError(ScriptRecord::Kind kind);

} // namespace larkspur
