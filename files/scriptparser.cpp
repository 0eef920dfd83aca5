#include "scriptparser.h"

#include "filetexts.h"
#include "notation/numbernotation.h"

#include <optional>

namespace larkspur {

namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';
constexpr char kComment = '#';
// The register address byte of a request.
constexpr std::int32_t kLastAddress = 0xFF;

// Codes 1 to 32: the blanks and control characters that separate fields.
bool isBlank(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

// Bytes from 0x80 up are ordinary field characters: the text is never decoded.
bool endsPlainField(char c) {
    return static_cast<unsigned char>(c) <= 32 || c == kComma || c == kComment;
}

bool isSleep(std::string_view field) {
    constexpr std::string_view kSleep = "sleep";
    if (field.size() != kSleep.size()) {
        return false;
    }
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        // Only A to Z: a byte of another alphabet never matches.
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kSleep[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<std::string> splitScriptLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
            ++end;
        }
        lines.emplace_back(bytes.substr(start, end - start));
        if (end < bytes.size()) {
            // CR LF is one break; a lone CR or a lone LF is one as well.
            if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') {
                ++end;
            }
            ++end;
        }
        start = end;
    }
    return lines;
}

std::vector<std::string> splitFields(std::string_view line, std::size_t maxFields) {
    // A NUL ends the text wherever it stands.
    line = line.substr(0, line.find('\0'));
    std::vector<std::string> fields;
    std::size_t pos = 0;
    const auto skipBlanks = [&] {
        while (pos < line.size() && isBlank(line[pos])) {
            ++pos;
        }
    };
    skipBlanks();
    // A comment runs to the end of the line: from a '#' where a field would start, or one that
    // ends a field without quotes. A number never holds one.
    const auto atComment = [&] { return pos < line.size() && line[pos] == kComment; };
    while (pos < line.size() && !atComment() && fields.size() < maxFields) {
        std::string field;
        if (line[pos] == kQuote) {
            ++pos;
            while (pos < line.size()) {
                if (line[pos] == kQuote) {
                    ++pos;
                    if (pos >= line.size() || line[pos] != kQuote) {
                        break;
                    }
                }
                field += line[pos];
                ++pos;
            }
        } else {
            const std::size_t start = pos;
            while (pos < line.size() && !endsPlainField(line[pos])) {
                ++pos;
            }
            field.assign(line.substr(start, pos - start));
        }
        fields.push_back(std::move(field));
        skipBlanks();
        if (pos < line.size() && line[pos] == kComma) {
            ++pos;
            if (pos == line.size() && fields.size() < maxFields) {
                fields.emplace_back();
            }
            skipBlanks();
        }
    }
    return fields;
}

ScriptRecord parseRecord(std::string_view line) {
    ScriptRecord record;
    if (line.find('\0') != std::string_view::npos) {
        record.kind = ScriptRecord::Kind::BadRecord;
        return record;
    }
    // A record is its first two fields; a line of millions of fields costs no more than that.
    const std::vector<std::string> fields = splitFields(line, 2);
    if (fields.empty()) {
        return record;
    }
    const auto second = [&]() -> std::optional<std::int32_t> {
        if (fields.size() < 2) {
            return std::nullopt;
        }
        return parseNumber(fields[1]);
    };
    if (isSleep(fields[0])) {
        const auto milliseconds = second();
        if (!milliseconds || *milliseconds < 0) {
            record.kind = ScriptRecord::Kind::BadPause;
            return record;
        }
        record.kind = ScriptRecord::Kind::Pause;
        record.value = *milliseconds;
        return record;
    }
    const auto address = parseNumber(fields[0]);
    const auto value = second();
    if (!address || !value || *address < 0 || *address > kLastAddress) {
        record.kind = ScriptRecord::Kind::BadRecord;
        return record;
    }
    // Read as unsigned, so every negative value is out of range as well.
    if (static_cast<std::uint32_t>(*value) > 255) {
        record.kind = ScriptRecord::Kind::BadValue;
        return record;
    }
    record.kind = ScriptRecord::Kind::Write;
    record.address = *address;
    record.value = *value;
    return record;
}

const char* recordError(ScriptRecord::Kind kind) {
    switch (kind) {
    case ScriptRecord::Kind::BadPause:
        return text::kBadPause;
    case ScriptRecord::Kind::BadRecord:
        return text::kBadRecord;
    case ScriptRecord::Kind::BadValue:
        return text::kBadValue;
    case ScriptRecord::Kind::Empty:
    case ScriptRecord::Kind::Pause:
    case ScriptRecord::Kind::Write:
        break;
    }
    return "";
}

} // namespace larkspur
