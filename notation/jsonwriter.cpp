#include "jsonwriter.h"

#include <cstdio>

namespace larkspur {

namespace {

struct Utf8Sequence {
    std::size_t length;
    bool wellFormed;
};

// The UTF-8 sequence that `text` starts with, a byte of 0x80 or more: its length when it is
// well formed (Unicode's table of well-formed byte sequences), else the length of its longest
// prefix that could have begun one, which one U+FFFD stands for.
Utf8Sequence utf8Sequence(std::string_view text) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    // The second byte's range; the others' is always 0x80 to 0xBF. The narrower ones keep out
    // overlong forms, the surrogates and what lies beyond U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (k >= text.size() || byte(k) < low || byte(k) > high) {
            return {k, false};
        }
        low = 0x80;
        high = 0xBF;
    }
    return {length, true};
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // JSON is UTF-8: a byte that is none (a path or a process name may hold any) would
            // make the whole answer unreadable to a strict parser.
            const Utf8Sequence sequence = utf8Sequence(text.substr(at));
            if (sequence.wellFormed) {
                out += text.substr(at, sequence.length);
            } else {
                out += "\\ufffd";
            }
            at += sequence.length - 1;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonWriter::separate() {
    if (m_needComma) {
        m_text += ',';
    }
    m_needComma = true;
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    m_text += '{';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    m_text += '}';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    m_text += '[';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    m_text += ']';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    m_text += jsonString(name) + ':';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    m_text += jsonString(text);
    return *this;
}

JsonWriter& JsonWriter::value(long long number) {
    separate();
    m_text += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    m_text += "null";
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    m_text += flag ? "true" : "false";
    return *this;
}

} // namespace larkspur
